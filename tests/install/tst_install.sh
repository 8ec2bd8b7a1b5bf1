#!/bin/sh
# Installs the built tree into a scratch root and runs what landed there.
#   tst_install.sh CMAKE BUILD_DIR VERSION
set -eu
cmake=$1 build=$2 version=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "tst_install: $*" >&2; exit 1; }

DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$root/usr

# No display at all: --version must not need one.
for program in quorval-setup quorval-watch; do
    out=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/$program" --version)
    [ "$out" = "$program $version" ] || fail "$program --version said '$out'"
done
env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/quorval-watch" --help |
    grep -q -- '--interval' || fail "quorval-watch --help names no --interval"
for tool in quorval-cli lwlsim; do
    out=$("$usr/bin/$tool" --version)
    [ "$out" = "$tool $version" ] || fail "$tool --version said '$out'"
    "$usr/bin/$tool" --help >/dev/null || fail "$tool --help failed"
done

for entry in quorval-setup quorval-watch; do
    desktop=$usr/share/applications/$entry.desktop
    [ -f "$desktop" ] || fail "no $desktop"
    desktop-file-validate "$desktop" || fail "$desktop does not validate"
done
grep -qx 'Name=QUORVAL Watch' "$usr/share/applications/quorval-watch.desktop" || fail "no QUORVAL Watch"
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/quorval-setup.svg" || fail "no icon"
for page in quorval-setup quorval-watch quorval-cli lwlsim; do
    ls "$usr/share/man/man1/$page.1"* >/dev/null 2>&1 || fail "no man page $page.1"
done
for file in copyright changelog.gz; do
    [ -f "$usr/share/doc/quorval-setup/$file" ] || fail "no $file in /usr/share/doc/quorval-setup"
done

# The watch as a service: its unit, its user, an example of its configuration.
unit=$root/lib/systemd/system/quorval-monitor@.service
[ -f "$unit" ] || fail "no $unit"
grep -qx 'u quorval - "QUORVAL LWL-System watch" /nonexistent' "$usr/lib/sysusers.d/quorval-setup.conf" ||
    fail "no user quorval in sysusers.d"
[ -f "$usr/share/doc/quorval-setup/examples/monitor.conf" ] || fail "no example configuration"
[ -d "$root/etc/quorval/monitor" ] || fail "no /etc/quorval/monitor"
if command -v systemd-analyze >/dev/null 2>&1; then
    # An instance of a copy that runs what was installed here; the manual page
    # it names is found here too.
    mkdir "$root/units"
    sed "s#/usr/bin/quorval-cli#$usr/bin/quorval-cli#" "$unit" > "$root/units/quorval-monitor@.service"
    instance=$root/units/quorval-monitor@cabinet3.service
    out=$(MANPATH=$usr/share/man systemd-analyze verify "$instance" 2>&1) ||
        fail "systemd-analyze verify failed: $out"
    [ -z "$out" ] || fail "systemd-analyze verify: $out"
    # "OK" or better: an exposure below 5.0.
    systemd-analyze security --offline=yes --threshold=49 "$instance" > "$root/security.log" 2>&1 ||
        { cat "$root/security.log" >&2; fail "the unit is exposed more than \"OK\""; }
    echo "tst_install: $(tail -n 1 "$root/security.log")"
else
    echo "tst_install: systemd-analyze not installed, the unit is not verified"
fi

# The package as Debian's own checker sees it: no error and no warning.
if command -v lintian >/dev/null 2>&1 && command -v dpkg-shlibdeps >/dev/null 2>&1; then
    cpack=$(dirname "$cmake")/cpack
    "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$root/package" >"$root/cpack.log" 2>&1 ||
        { cat "$root/cpack.log" >&2; fail "cpack could not build the package"; }
    # The watch publishes with libmosquitto: the package must bring it.
    dpkg-deb -f "$root"/package/*.deb Depends | grep -q 'libmosquitto1' ||
        fail "the package does not depend on libmosquitto1"
    if ! lintian --fail-on error,warning "$root"/package/*.deb >"$root/lintian.log" 2>&1; then
        grep -v 'root privileges' "$root/lintian.log" >&2
        fail "lintian reports errors or warnings (above)"
    fi
else
    echo "tst_install: lintian or dpkg-shlibdeps not installed, the package is not checked"
fi

#include "publish/ServiceNotify.h"

#include <algorithm>
#include <cstdint>

#ifdef QUORVAL_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#include "session/BusWatch.h"

namespace quorval {

bool ServiceNotifyBuiltIn() {
#ifdef QUORVAL_HAVE_SYSTEMD
    return true;
#else
    return false;
#endif
}

void NotifyService(const QByteArray& state) {
#ifdef QUORVAL_HAVE_SYSTEMD
    sd_notify(0, state.constData());
#else
    (void)state;
#endif
}

QString WatchStatusLine(const WatchRound& round, const WatchTracker& tracker) {
    const auto modules = static_cast<int>(tracker.Modules().size());
    const auto present = std::count_if(round.samples.begin(), round.samples.end(),
                                       [](const WatchSample& s) { return s.present; });
    return QStringLiteral("round %1, %2 modules, %3 missing, link %4")
        .arg(round.number)
        .arg(modules)
        .arg(modules - static_cast<int>(present))
        .arg(round.linkUp ? QStringLiteral("up") : QStringLiteral("lost"));
}

WatchServiceNotifier::WatchServiceNotifier(BusWatch& watch, QObject* parent) : QObject(parent) {
    connect(&watch, &BusWatch::RoundDone, this, [this, &watch](const WatchRound& round) {
        const QByteArray status = "STATUS=" + WatchStatusLine(round, watch.Tracker()).toUtf8();
        NotifyService(ready_ ? status : "READY=1\n" + status);
        ready_ = true;
    });
    connect(&watch, &BusWatch::Finished, this, [this] {
        watchdog_.stop();
        NotifyService("STOPPING=1");
    });
#ifdef QUORVAL_HAVE_SYSTEMD
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        connect(&watchdog_, &QTimer::timeout, this, [] { NotifyService("WATCHDOG=1"); });
        const std::uint64_t ms = std::clamp<std::uint64_t>(usec / 2000, 1, 3600 * 1000);
        watchdog_.start(static_cast<int>(ms));
    }
#endif
}

}  // namespace quorval

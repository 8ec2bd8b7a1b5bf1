// The watch run for months as a service: its configuration file, what systemd
// hears, its day files and its metrics, against the simulator.

#include <QtTest>

#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "publish/ServiceNotify.h"
#include "publish/SystemName.h"
#include "record/WatchDayLog.h"
#include "record/WatchLog.h"
#include "support/SimProcess.h"

using testing_support::Cli;
using testing_support::Run;
using testing_support::SimProcess;

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A Unix datagram socket bound as systemd's NOTIFY_SOCKET; -1 when it cannot be.
int BindNotifySocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, qPrintable(path), sizeof addr.sun_path - 1);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? fd : -1;
}

// The datagrams waiting on a socket, oldest first.
QStringList Drain(int fd) {
    QStringList got;
    char buf[4096];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
        got << QString::fromUtf8(buf, int(n));
    return got;
}

// quorval-cli run to its end (up to 60 s), poll() called every few ms meanwhile:
// systemd reads the notifications as they come, and a sender blocks once a
// few of them wait.
Run CliPolled(const QStringList& args, const QProcessEnvironment& env,
              const std::function<void()>& poll) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QUORVAL_CLI_PATH, args);
    QElapsedTimer t;
    t.start();
    for (bool done = false; !done && t.elapsed() < 60000;) {
        done = p.waitForFinished(2) || p.state() == QProcess::NotRunning;
        poll();
    }
    Run r;
    if (p.state() == QProcess::NotRunning && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

}  // namespace

class TstService : public QObject {
    Q_OBJECT
  private slots:
    // Refused with exit 1 before the port is opened, and a file's problem with
    // its line: {config} is the file written from `config`, {dir} a folder.
    void refusedBeforeThePortIsOpened_data() {
        QTest::addColumn<QByteArray>("config");  // empty: no --config
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QStringList watch{"--port", "/nonexistent/b", "watch"};
        const auto row = [](const char* name, const QByteArray& config, const QStringList& args,
                            int code, const char* message) {
            QTest::newRow(name) << config << args << code << QString(message);
        };
        row("--out and --log-dir", {},
            watch + QStringList{"--out", "{dir}/a.csv", "--log-dir", "{dir}"}, 1,
            "--out and --log-dir do not go together");
        row("log dir a file", {}, watch + QStringList{"--log-dir", "/dev/null"}, 1,
            "/dev/null is not a directory");
        row("log dir that cannot be made", {}, watch + QStringList{"--log-dir", "/proc/q/logs"}, 1,
            "cannot make the directory /proc/q/logs");
        row("keep no days", {}, watch + QStringList{"--log-dir", "{dir}", "--keep-days", "0"}, 1,
            "--keep-days takes a number of days from 1");
        row("unknown key", "[watch]\nintervall = 3\n", watch, 1,
            "{config}:2: unknown key intervall in [watch]");
        row("an option of another command", "[watch]\nrelay = 1\n", watch, 1,
            "{config}:2: unknown key relay in [watch]");
        row("bad value, case and comments", "; cabinet 3\n[WATCH]\nInterval = 0 ; often\n", watch,
            1, "{config}:3: --interval takes a number of seconds from 1 to 86400, not '0'");
        row("a flag with a bad word", "[watch]\njson = maybe\n", watch, 1,
            "{config}:2: json takes yes or no");
        row("the broker's keys", "[watch]\nmqtt-discovery = yes\nmqtt = tcp://broker\n", watch, 1,
            "{config}:3: --mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not "
            "'tcp://broker'");
        row("a line that is no INI", "[global]\nport /dev/ttyS0\n", watch, 1,
            "{config}:2: not a [section], a key = value or a ; comment");
        row("too large", QByteArray(64 * 1024 + 1, ';'), watch, 1,
            "{config}: is larger than 64 KiB");
        row("not a regular file", "{dir}", watch, 1, "{dir}: is not a regular file");
        row("the file's port", "[global]\nport = /nonexistent/a\n", {"watch"}, 3,
            "cannot open /nonexistent/a");
        row("the command line wins", "[global]\nport = /nonexistent/a\n[watch]\nduration = 9\n",
            watch + QStringList{"--duration", "soon"}, 1, "--duration takes a number of seconds");
        row("the example as shipped, a port given",
            Read(QUORVAL_SOURCE_DIR "/packaging/monitor.conf"),
            watch + QStringList{"--log-dir", "{dir}"}, 3, "cannot open /nonexistent/b");
    }
    void refusedBeforeThePortIsOpened() {
        QFETCH(QByteArray, config);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QString file = config == "{dir}" ? dir.path() : dir.filePath("cabinet3.conf");
        if (config != "{dir}" && !config.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(config) == config.size());
        }
        if (!config.isEmpty())
            args.prepend("--config"), args.insert(1, file);
        args.replaceInStrings("{dir}", dir.path());
        message.replace("{config}", file).replace("{dir}", dir.path());
        const Run r = Cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.startsWith("quorval-cli: " + message), qPrintable(r.err));
    }

    // Run as systemd runs it: ready after the first round, the status of every
    // round, a watchdog ping every half interval from the event loop; the rows
    // in the day's file and nothing on standard output, the directory read back
    // by report; the metrics file, polled meanwhile, only ever seen whole: never
    // written in place, replaced every round, nothing else named *.prom beside
    // it. A port that cannot be opened is ready all the same, with why.
    void runAsSystemdRunsIt() {
        QTemporaryDir dir;
        const QString logs = dir.filePath("logs/cabinet3"), prom = dir.filePath("cabinet3.prom");
        const int notify = BindNotifySocket(dir.filePath("notify"));
        const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(notify >= 0 && ::inotify_add_watch(events, qPrintable(dir.path()),
                                                   IN_CREATE | IN_MODIFY | IN_MOVED_TO) >= 0);
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NOTIFY_SOCKET", dir.filePath("notify"));
        env.insert("WATCHDOG_USEC", "1000000");
        const QDate today = QDateTime::currentDateTimeUtc().date();
        QStringList got, wrong;
        int renames = 0;
        const Run watch = CliPolled(
            {"--port", sim.LinkPath(), "watch", "--interval", "1", "--duration", "4", "--log-dir",
             logs, "--prom", prom},
            env, [&] {
                got << Drain(notify);
                alignas(inotify_event) char buf[4096];
                for (ssize_t n; (n = ::read(events, buf, sizeof buf)) > 0;) {
                    for (char* at = buf; at < buf + n;) {
                        const auto* e = reinterpret_cast<const inotify_event*>(at);
                        const QString name = e->len ? QString(e->name) : QString();
                        renames += name == "cabinet3.prom" && (e->mask & IN_MOVED_TO);
                        // Made whole and linked in, or renamed over it.
                        if (name.endsWith(".prom") &&
                            (name != "cabinet3.prom" || (e->mask & IN_MODIFY)))
                            wrong << QString("%1 %2").arg(e->mask, 0, 16).arg(name);
                        at += sizeof(inotify_event) + e->len;
                    }
                }
                const QByteArray text = Read(prom);
                if (!text.isEmpty() &&
                    !(text.endsWith('\n') && text.count("quorval_channel_errors_total{") == 12))
                    wrong << "half-written: " + text;
            });
        ::close(events);
        QCOMPARE(watch.code, 2);  // module 310 CH2 in error
        QCOMPARE(wrong, QStringList());
        const QString rounds = watch.err.section("summary: ", 1).section(' ', 0, 0);
        QVERIFY2(renames >= rounds.toInt() - 1, qPrintable(watch.err));  // the first linked in

        QCOMPARE(watch.out, QString());
        const QStringList rows =
            QString(Read(logs + "/" + quorval::DayFileName(today))).split('\n');
        QCOMPARE(rows.first(), quorval::kWatchLogHeader);
        QCOMPARE(rows.size(), 1 + 6 * rounds.toInt() + 1);  // and the last line end
        const Run report = Cli({"report", "--watch", logs, "--out", dir.filePath("page.html")});
        QCOMPARE(report.code, 0);
        QVERIFY2(Read(dir.filePath("page.html"))
                     .contains("module 310 CH2: in error in " + rounds.toUtf8()),
                 qPrintable(report.err));

        const QByteArray text = Read(prom);
        const QByteArray own =
            "{system=\"" +
            quorval::DefaultSystemName(QSysInfo::machineHostName(), sim.LinkPath()).toUtf8() + '"';
        for (const QByteArray& line :
             {"quorval_link_up" + own + "} 1",
              "quorval_rounds_total" + own + "} " + rounds.toUtf8(),
              "quorval_module_present" + own + ",module=\"530\"} 1",
              "quorval_module_info" + own + ",module=\"310\",version=\"3.4\",side=\"L\"} 1",
              "quorval_channel_in_error" + own + ",module=\"310\",channel=\"2\"} 1",
              "quorval_channel_errors_total" + own + ",module=\"310\",channel=\"2\"} 17"})
            QVERIFY2(text.contains('\n' + line + '\n'), line + "\n" + text);

        if (quorval::ServiceNotifyBuiltIn()) {
            const int pings = int(got.removeAll("WATCHDOG=1"));
            QVERIFY2(pings >= 5 && pings <= 12, qPrintable(QString::number(pings)));
            QCOMPARE(got.size(), rounds.toInt() + 1);
            QCOMPARE(got.takeFirst(), "READY=1\nSTATUS=round 1, 6 modules, 0 missing, link up");
            QCOMPARE(got.takeLast(), "STOPPING=1");
            for (int i = 0; i < got.size(); ++i)
                QCOMPARE(got[i],
                         QString("STATUS=round %1, 6 modules, 0 missing, link up").arg(i + 2));
            env.remove("WATCHDOG_USEC");
            QCOMPARE(CliPolled({"--port", "/nonexistent/tty", "watch"}, env, [] {}).code, 3);
            QCOMPARE(Drain(notify), QStringList{"READY=1\nSTATUS=cannot open /nonexistent/tty "
                                                "(/nonexistent/tty): not found"});
        }
        ::close(notify);

        QProcess promtool;
        promtool.setProcessChannelMode(QProcess::MergedChannels);
        promtool.start(QUORVAL_PROMTOOL, {"check", "metrics"});
        if (!promtool.waitForStarted())
            QSKIP("no promtool (scripts/fetch-promtool unpacks it): the format is not checked");
        promtool.write(text);
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(30000));
        QCOMPARE(promtool.readAll(), QByteArray());
        QCOMPARE(promtool.exitCode(), 0);
        if (!quorval::ServiceNotifyBuiltIn())
            QSKIP("built without libsystemd: what systemd hears is not checked");
    }
};

QTEST_GUILESS_MAIN(TstService)
#include "tst_service.moc"

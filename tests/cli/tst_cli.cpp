// quorval-cli as a technician runs it, against the simulator on a pseudo-terminal.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

#include "link/QtSerialComm.h"
#include "support/SimProcess.h"

using testing_support::Cli;
using testing_support::Run;
using testing_support::SimProcess;

namespace {

QStringList Lines(const QString& text) {
    return text.split('\n', Qt::SkipEmptyParts);
}

// Module 1 attached, then 2..n alternating left and right.
QByteArray System(int n, const QByteArray& head = {}) {
    QByteArray ini = head + "[module 1]\nside = G\n";
    for (int id = 2; id <= n; ++id)
        ini += "[module " + QByteArray::number(id) + "]\nside = " + (id % 2 ? "L" : "R") + "\n";
    return ini;
}

}  // namespace

class TstCli : public QObject {
    Q_OBJECT
  private slots:
    void scanListsTheModulesInDisplayOrder() {
        SimProcess sim;
        QVERIFY(sim.Start());
        const Run r = Cli({"--port", sim.LinkPath(), "scan"});
        QCOMPARE(r.code, 0);
        const QStringList lines = Lines(r.out);
        QStringList ids;
        for (const QString& l : lines)
            ids << l.simplified().section(' ', 0, 0);
        QCOMPARE(ids, (QStringList{"100", "205", "310", "530", "415", "120"}));
        QVERIFY(lines[2].contains("CH2 error    17"));
        QVERIFY(lines[0].simplified().startsWith(
            "100 G 3.4 CH1 ok 0 CH2 ok 0 00000101 (125 KBit/s, 11-bit identifiers, line or ring, "
            "CH1_Error AND CH2_Error)"));
        const QJsonArray json =
            QJsonDocument::fromJson(Cli({"--port", sim.LinkPath(), "scan", "--json"}).out.toUtf8())
                .array();
        QCOMPARE(json.size(), 6);
        QCOMPARE(json[2].toObject(), (QJsonObject{{"id", 310},
                                                  {"side", "L"},
                                                  {"version", 34},
                                                  {"mode", 5},
                                                  {"status1", false},
                                                  {"status2", true},
                                                  {"errors1", 0},
                                                  {"errors2", 17}}));
    }

    void queryShowsTheAnswerOrSaysWhoIsSilent() {
        SimProcess sim({},
                       "[system]\nquery_letter = Q\n[module 300]\nside = G\nversion = 7\n"
                       "[module 301]\nside = L\nanswers = 0\n");
        QVERIFY(sim.Start());
        const Run ok = Cli({"--port", sim.LinkPath(), "query", "300"});
        QCOMPARE(ok.code, 0);
        QVERIFY2(ok.out.simplified().startsWith("300 Q 0.7"), qPrintable(ok.out));  // as answered
        const Run silent = Cli({"query", "301", "--port", sim.LinkPath()});         // value last
        QCOMPARE(silent.code, 2);
        QCOMPARE(silent.err.trimmed(), "Modul with ID 301 not answer!");
    }

    void exitStatusSaysWhatIsWrong_data() {
        QTest::addColumn<QByteArray>("system");  // empty: no simulator
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QByteArray& system, const QStringList& args,
                            int code, const char* message) {
            QTest::newRow(name) << system << args << code << QString(message);
        };
        row("missing device", {}, {"--port", "/nonexistent/tty", "scan"}, 3, "not found");
        row("no port", {}, {"scan"}, 1, "--port");
        row("no command", {}, {"--port", "COM1"}, 1, "scan");
        row("ID one past the end", {}, {"--port", "COM1", "query", "32001"}, 1, "32000");
        row("ID not a number", {}, {"--port", "COM1", "set", "7x", "--relay", "1"}, 1, "32000");
        row("unknown option", {}, {"--port", "COM1", "scan", "--fast"}, 1, "fast");
        row("value missing", {}, {"--port", "COM1", "set", "7", "--relay"}, 1, "--relay");
        row("option of another command", {}, {"--port", "COM1", "scan", "--eeprom"}, 1, "--eeprom");
        row("nobody answers", "[module 1]\nside = G\nanswers = 0\n", {"scan"}, 2,
            "No Modules found! Check the serial connection and try it again.");
        row("foreign module", "[module 1]\nside = G\nversion = 41\n", {"scan"}, 2, "none-QUORVAL");
        row("report of nothing", {}, {"report", "--out", "r.html"}, 1,
            "report needs --port PORT, --snapshot FILE or --watch LOG.csv");
        row("watch log a folder", {}, {"--port", "COM1", "watch", "--out", "/"}, 1,
            "/ is a directory");
        // Refused before they are opened: a FIFO would wait for a reader.
        row("watch log a device", {}, {"--port", "COM1", "watch", "--out", "/dev/full"}, 1,
            "/dev/full is not a regular file (a device, a FIFO or a socket)");
        row("watch log a FIFO", {}, {"--port", "COM1", "watch", "--out", "{fifo}"}, 1,
            "fifo is not a regular file");
        row("watch log another file", "[module 1]\nside = G\n", {"watch", "--out", "{system}"}, 1,
            "system.ini: its first line is not the header of a watch log");
        // The broker's options, said before the port is opened.
        const QString url = "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not";
        const auto mqtt = [&row](const char* name, const QStringList& args, const QString& said) {
            row(name, {}, QStringList{"--port", "COM1", "watch"} + args, 1, qPrintable(said));
        };
        mqtt("mqtt with a path", {"--mqtt", "mqtt://broker/plant"}, url);
        mqtt("mqtt without host", {"--mqtt", "mqtts://:8883"}, url);
        mqtt("mqtt port not a number", {"--mqtt", "mqtt://broker:x1"}, url);
        mqtt("mqtt port 0", {"--mqtt", "mqtt://broker:0"}, "must be from 1 to 65535");
        mqtt("mqtt port past 65535", {"--mqtt", "mqtts://[::1]:65536"}, "must be from 1 to 65535");
        const QStringList broker{"--mqtt", "mqtt://broker"};
        mqtt("name empty", broker + QStringList{"--mqtt-name", ""}, "the system name is empty");
        mqtt("name with a level", broker + QStringList{"--mqtt-name", "hall/3"}, "holds '/'");
        mqtt("name with a wildcard", broker + QStringList{"--mqtt-name", "hall+"}, "holds '+'");
        mqtt("name with a blank", broker + QStringList{"--mqtt-name", "hall 3"}, "holds ' '");
        mqtt("password without user", broker + QStringList{"--mqtt-password-file", "/etc/hostname"},
             "--mqtt-password-file needs --mqtt-user");
        mqtt("password file missing",
             broker + QStringList{"--mqtt-user", "u", "--mqtt-password-file", "/nonexistent"},
             "cannot read /nonexistent");
        mqtt("broker options without broker", {"--mqtt-discovery"},
             "--mqtt-discovery needs --mqtt");
        mqtt("CA without TLS", broker + QStringList{"--mqtt-cafile", "/etc/hostname"},
             "--mqtt-cafile needs an mqtts:// broker");
    }
    void exitStatusSaysWhatIsWrong() {
        QFETCH(QByteArray, system);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        SimProcess sim({"--no-pacing"}, system);
        args.replaceInStrings("{system}", sim.FilePath("system.ini"));
        if (args.contains("{fifo}"))
            QCOMPARE(QProcess::execute("mkfifo", {sim.FilePath("fifo")}), 0);
        args.replaceInStrings("{fifo}", sim.FilePath("fifo"));
        if (!system.isEmpty()) {
            QVERIFY(sim.Start());
            args << "--port" << sim.LinkPath();
        }
        const Run r = Cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void programRefusesWhatTheDialogWouldNotOffer_data() {
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QString>("reason");
        const QByteArray old = "[module 1]\nside = G\nversion = 32\n[module 2]\nside = L\n";
        const QStringList p2p{"--topology", "point-to-point"};
        QTest::newRow("29 bit below firmware 3.3")
            << old << QStringList{"--baud", "125", "--identifiers", "29"} + p2p
            << "29-bit identifiers are not offered";
        QTest::newRow("no 1 MBit/s with 29 bit")
            << System(2) << QStringList{"--baud", "1000", "--identifiers", "29"} + p2p
            << "1 MBit/s is not offered";
        QTest::newRow("line or ring forced off")
            << System(2)
            << QStringList{"--baud", "500", "--identifiers", "11", "--topology", "line-or-ring"}
            << "line or ring topology is not offered";
    }
    void programRefusesWhatTheDialogWouldNotOffer() {
        QFETCH(QByteArray, system);
        QFETCH(QStringList, choice);
        QFETCH(QString, reason);
        SimProcess sim({"--no-pacing", "--log", "{dir}/frames.log"}, system);
        QVERIFY(sim.Start());
        const Run r =
            Cli(QStringList{"--port", sim.LinkPath(), "program", "--relay", "1"} + choice);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QVERIFY(sim.LoggedFrames("frames.log").filter(QRegularExpression("^5[37]")).isEmpty());
    }

    void programAndSetReachTheModules() {
        SimProcess sim({"--log", "{dir}/frames.log"},
                       "[module 300]\nside = G\n[module 512]\nside = R\n[module 7]\nside = L\n");
        QVERIFY(sim.Start());
        const Run p =
            Cli({"--port", sim.LinkPath(), "program", "--baud", "250", "--identifiers", "29",
                 "--topology", "point-to-point", "--relay", "CH1_Error OR CH2_Error"});
        QCOMPARE(p.code, 0);
        QCOMPARE(Lines(p.out).last(), QString("sent 3 of 3, failed 0"));
        const Run set = Cli({"--port", sim.LinkPath(), "set", "512", "--relay", "3", "--eeprom"});
        QCOMPARE(set.code, 0);
        QCOMPARE(sim.LoggedFrames("frames.log").filter(QRegularExpression("^5[37]")),
                 (QStringList{"53 07 00 E6 0A 0D 00", "53 00 02 E6 0A 0D 00",
                              "53 2C 01 E6 0A 0D 00", "57 00 02 F6 0A 0D 00"}));
        const Run q = Cli({"--port", sim.LinkPath(), "query", "512", "--json"});
        const QJsonObject answer = QJsonDocument::fromJson(q.out.toUtf8()).array()[0].toObject();
        QCOMPARE(answer["mode"].toInt(), 0xF6);
        QCOMPARE(answer["letter"].toString(), QString("P"));  // its answer's, not a side
        QVERIFY(!answer.contains("side"));
    }

    // COMn is what the window's settings file makes it; ports says what each one is.
    void portInUseNotADeviceAndLostAreSaid() {
        SimProcess sim;
        QVERIFY(sim.Start());
        const QString ini = sim.FilePath("config/quorval-setup/quorval-setup.ini");
        QDir().mkpath(QFileInfo(ini).path());
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[QUORVAL Setup Tool]\ncom2 = " + sim.LinkPath().toLocal8Bit() +
                   "\ncom3 = " + ini.toLocal8Bit() + "  ; no port\n");
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", sim.FilePath("config"));
        QProcess monitor;
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(QUORVAL_CLI_PATH), {"--port", "COM2", "monitor"});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += monitor.readAllStandardError()).contains("listening"),
                                 10000);
        const Run refused = Cli({"--port", sim.LinkPath(), "scan"});
        QCOMPARE(refused.code, 3);
        QVERIFY2(refused.err.contains("in use"), qPrintable(refused.err));
        const Run ports = Cli({"ports"}, env);
        const QStringList lines = Lines(ports.out);
        QCOMPARE(lines.filter(QRegularExpression("^COM[1-4]  ")).size(), 4);
        QVERIFY2(lines.contains("COM2  " + sim.LinkPath() + "  in use  [set by the com2 key]") &&
                     lines.contains("COM3  " + ini +
                                    "  not found: a regular file, not a serial device  [set by "
                                    "the com3 key]"),
                 qPrintable(ports.out));
        const QJsonObject com3 = QJsonDocument::fromJson(Cli({"ports", "--json"}, env).out.toUtf8())
                                     .array()[2]
                                     .toObject();
        QCOMPARE(com3["com"].toInt(), 3);
        QCOMPARE(com3["state"].toString(), QString("not found"));
        const Run notADevice = Cli({"--port", "COM3", "scan"}, env);
        QCOMPARE(notADevice.code, 3);
        QVERIFY2(notADevice.err.contains("cannot open COM3 (" + ini + "): a regular file"),
                 qPrintable(notADevice.err));
        // The adapter pulled under the running monitor ends it with 3 and says so.
        sim.Stop();
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 3);
        QVERIFY2((said + monitor.readAllStandardError()).contains("connection lost"), said);
    }

    // The adapter pulled half-way through a command: what got through, and status 3.
    void linkLostHalfWayEndsWithThree_data() {
        QTest::addColumn<QByteArray>("hangup");
        QTest::addColumn<QStringList>("command");
        // Late enough that a loaded machine has read some answers before the line goes.
        QTest::newRow("scan") << QByteArray("hangup_after_tx = 100") << QStringList{"scan"};
        QTest::newRow("program") << QByteArray("hangup_after_rx = 3")
                                 << QStringList{"program",        "--baud",  "125",
                                                "--identifiers",  "11",      "--topology",
                                                "point-to-point", "--relay", "0"};
    }
    void linkLostHalfWayEndsWithThree() {
        QFETCH(QByteArray, hangup);
        QFETCH(QStringList, command);
        SimProcess sim({}, System(120, "[system]\n" + hangup + "\n"));
        QVERIFY(sim.Start());
        const Run r = Cli(QStringList{"--port", sim.LinkPath()} + command);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains("connection lost"), qPrintable(r.err));
        const QStringList lines = Lines(r.out);
        if (command[0] == "scan") {
            // Every module listed was counted, and fewer than the system has.
            QVERIFY(!lines.isEmpty() && lines.size() <= 100);
            QVERIFY(r.err.contains(QString("stopped after %1 modules").arg(lines.size())));
            return;
        }
        // Each module's line says sent or refused, and the counts add up.
        const int refused = int(lines.filter("REFUSED").size());
        QVERIFY(refused > 0);
        QCOMPARE(lines.last(),
                 QString("sent %1 of 120, failed %2").arg(120 - refused).arg(refused));
    }

    // Ctrl-C (or a kill) half-way: what got through, the shell's status, and the port free.
    void signalStopsACommandHalfWay_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("scan, SIGINT") << int(SIGINT) << QStringList{"scan"};
        QTest::newRow("program, SIGTERM")
            << int(SIGTERM)
            << QStringList{"program",        "--baud",  "125", "--identifiers", "11", "--topology",
                           "point-to-point", "--relay", "0"};
    }
    void signalStopsACommandHalfWay() {
        QFETCH(int, signal);
        QFETCH(QStringList, command);
        SimProcess sim({"--log", "{dir}/frames.log"}, System(200));
        QVERIFY(sim.Start());
        QProcess cli;
        cli.start(QStringLiteral(QUORVAL_CLI_PATH),
                  QStringList{"--port", sim.LinkPath()} + command);
        QByteArray out;
        const bool program = command[0] == "program";
        // A scan is stopped while answers come in, a run once it has programmed a module.
        QTRY_VERIFY_WITH_TIMEOUT(program ? (out += cli.readAllStandardOutput()).contains(" S 0x")
                                         : sim.LoggedFrames("frames.log", "tx").size() > 100,
                                 20000);
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 128 + signal);
        const QStringList lines = Lines(QString::fromUtf8(out + cli.readAllStandardOutput()));
        QVERIFY(!lines.isEmpty() && lines.size() < 200);
        if (program) {
            const int sent = int(lines.filter(" S 0x").size());
            QCOMPARE(lines.last(), QString("sent %1 of 200, failed 0, interrupted").arg(sent));
            QTRY_COMPARE(sim.LoggedFrames("frames.log").filter(QRegularExpression("^53")).size(),
                         sent);
        } else {
            QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("interrupted after"));
        }
        // The port and its lock went with the program.
        quorval::QtSerialComm port;
        port.MapPort(1, sim.LinkPath());
        QCOMPARE(port.SetPortOpen(true), 0);
    }

    // A watch of a system that changes, and the report of its log: tst_record.

    // The adapter pulled under a running watch: the loss is said, the port tried
    // again every interval, and the watch carries on once it is back. Its rounds keep the
    // interval asked for.
    void watchOutlivesAPulledAdapter_data() {
        QTest::addColumn<bool>("pluggedBack");
        QTest::addColumn<int>("code");
        QTest::newRow("plugged back") << true << 0;
        QTest::newRow("never back") << false << 3;
    }
    void watchOutlivesAPulledAdapter() {
        QFETCH(bool, pluggedBack);
        QFETCH(int, code);
        const QByteArray modules = "[module 1]\nside = G\n[module 2]\nside = L\n";
        SimProcess sim({}, "[system]\nhangup_after_rx = 3\n" + modules);
        QVERIFY(sim.Start());
        QProcess cli;
        cli.start(
            QStringLiteral(QUORVAL_CLI_PATH),
            {"--port", sim.LinkPath(), "watch", "--interval", "1.5", "--duration", "7", "--json"});
        QVERIFY(sim.Process().waitForFinished(20000));  // hung up in the third round
        if (pluggedBack)
            QVERIFY(sim.Restart(modules));
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), code);
        QStringList events;
        QSet<int> sampled;
        QMap<int, QDateTime> when;
        for (const QString& line : Lines(QString::fromUtf8(cli.readAllStandardOutput()))) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            if (o.contains("event"))
                events << o["event"].toString() + "@" + QString::number(o["round"].toInt());
            else
                sampled << o["round"].toInt();
            when[o["round"].toInt()] =
                QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
        }
        QVERIFY(when[1].msecsTo(when[2]) >= 1450);
        // Lost in its third round, said once; back in the next.
        QCOMPARE(events.join(' '), pluggedBack ? "link_lost@3 link_back@4" : "link_lost@3");
        QVERIFY(sampled.contains(1) && sampled.contains(2) && !sampled.contains(3));
        QCOMPARE(sampled.size() > 2, pluggedBack);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(err.contains(pluggedBack ? "without link\n" : "not back at the end"),
                 qPrintable(err));
    }

    // The disk fills up under a watch (a file size limit here): said, status 1, and the
    // log holds every round before, whole.
    void watchLogThatStopsTakingBytes() {
        SimProcess sim({"--no-pacing"}, "[module 1]\nside = G\n[module 2]\nside = L\n");
        QVERIFY(sim.Start());
        const QString log = sim.FilePath("watch.csv");
        const Run r = Cli({"--port", sim.LinkPath(), "watch", "--interval", "1", "--duration", "30",
                           "--out", log},
                          QProcessEnvironment::systemEnvironment(), 300);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cannot write " + log + ": File too large; the watch ends"),
                 qPrintable(r.err));
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 2 * 2 + 1);  // the header, two rounds, nothing after them
        QCOMPARE(lines.last(), QByteArray());
    }

    void largeSystemIsScannedWhole() {
        // Paced, 1000 modules take ~13 s: longer than the scan's limit. Not paced, far more
        // comes at once than one poll takes.
        const QStringList paced, fast{"--no-pacing"};
        for (const auto& [pacing, modules] : {std::pair{paced, 1000}, {fast, 255}, {fast, 1000}}) {
            SimProcess sim(pacing, System(modules));
            QVERIFY(sim.Start());
            const Run r = Cli({"--port", sim.LinkPath(), "scan"});
            QCOMPARE(r.code, 0);
            QCOMPARE(Lines(r.out).size(), modules);
        }
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"

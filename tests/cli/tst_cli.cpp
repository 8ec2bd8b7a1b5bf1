// quorval-cli as a technician runs it, against the simulator on a pseudo-terminal.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/SimProcess.h"

using testing_support::SimProcess;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run Cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(QUORVAL_CLI_PATH), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
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
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QStringList ids;
        for (const QString& l : lines)
            ids << l.simplified().section(' ', 0, 0);
        QCOMPARE(ids, (QStringList{"100", "205", "310", "530", "415", "120"}));
        QVERIFY(lines[2].contains("CH2 error    17"));
        QVERIFY(lines[0].contains("3.4"));
        QVERIFY(lines[0].contains("00000101"));
        QVERIFY(lines[0].contains(
            "125 KBit/s, 11-bit identifiers, line or ring, CH1_Error AND CH2_Error"));
    }

    void scanAsJson() {
        SimProcess sim({},
                       "[module 7]\nside = G\nversion = 33\nmode = 0xE6\n"
                       "[module 9]\nside = R\nch1_error = 1\nch1_count = 258\n");
        QVERIFY(sim.Start());
        const Run r = Cli({"--port", sim.LinkPath(), "scan", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonArray a = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(a.size(), 2);
        const QJsonObject first = a[0].toObject();
        QCOMPARE(first["id"].toInt(), 7);
        QCOMPARE(first["side"].toString(), "G");
        QCOMPARE(first["version"].toInt(), 33);
        QCOMPARE(first["mode"].toInt(), 0xE6);
        const QJsonObject second = a[1].toObject();
        QCOMPARE(second["side"].toString(), "R");
        QCOMPARE(second["status1"].toBool(), true);
        QCOMPARE(second["status2"].toBool(), false);
        QCOMPARE(second["errors1"].toInt(), 258);
        QCOMPARE(second["errors2"].toInt(), 0);
    }

    void queryAnsweredAndNot() {
        SimProcess sim({},
                       "[system]\nquery_letter = Q\n[module 300]\nside = G\nversion = 7\n"
                       "[module 301]\nside = L\nanswers = 0\n");
        QVERIFY(sim.Start());
        const Run ok = Cli({"--port", sim.LinkPath(), "query", "300"});
        QCOMPARE(ok.code, 0);
        QVERIFY2(ok.out.simplified().startsWith("300 Q 0.7"), qPrintable(ok.out));  // as answered
        const Run silent = Cli({"--port", sim.LinkPath(), "query", "301"});
        QCOMPARE(silent.code, 2);
        QCOMPARE(silent.err.trimmed(), "Modul with ID 301 not answer!");
    }

    void noAnswerAtAll() {
        SimProcess sim({}, "[module 1]\nside = G\nanswers = 0\n");
        QVERIFY(sim.Start());
        const Run r = Cli({"--port", sim.LinkPath(), "scan"});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err.trimmed(),
                 "No Modules found! Check the serial connection and try it again.");
    }

    void badUsageAndMissingPort_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing device")
            << QStringList{"--port", "/nonexistent/tty", "scan"} << 3 << "not found";
        QTest::newRow("no port") << QStringList{"scan"} << 1 << "--port";
        QTest::newRow("no command") << QStringList{"--port", "COM1"} << 1 << "scan";
        QTest::newRow("ID too big")
            << QStringList{"--port", "COM1", "query", "32001"} << 1 << "32000";
        QTest::newRow("ID not a number")
            << QStringList{"--port", "COM1", "query", "7x"} << 1 << "32000";
        QTest::newRow("unknown option")
            << QStringList{"--port", "COM1", "scan", "--fast"} << 1 << "fast";
        QTest::newRow("missing value") << QStringList{"scan", "--port"} << 1 << "--port";
        QTest::newRow("option of another command")
            << QStringList{"--port", "COM1", "scan", "--relay", "1"} << 1 << "--relay";
    }
    void badUsageAndMissingPort() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Run r = Cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void programRefusesWhatTheDialogWouldNotOffer_data() {
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<QStringList>("choice");
        QTest::addColumn<QString>("reason");
        const QByteArray old = "[module 1]\nside = G\nversion = 32\n[module 2]\nside = L\n";
        const QByteArray current = "[module 1]\nside = G\n[module 2]\nside = L\n";
        const QByteArray foreign = "[module 1]\nside = G\nversion = 41\n";
        QTest::newRow("29 bit below firmware 3.3")
            << old
            << QStringList{"--baud", "125", "--identifiers", "29", "--topology", "point-to-point"}
            << "29-bit identifiers are not offered";
        QTest::newRow("no 1 MBit/s with 29 bit")
            << current
            << QStringList{"--baud", "1000", "--identifiers", "29", "--topology", "point-to-point"}
            << "1 MBit/s is not offered";
        QTest::newRow("line or ring forced off")
            << current
            << QStringList{"--baud", "500", "--identifiers", "11", "--topology", "line-or-ring"}
            << "line or ring topology is not offered";
        QTest::newRow("foreign firmware")
            << foreign
            << QStringList{"--baud", "125", "--identifiers", "11", "--topology", "point-to-point"}
            << "LWL-System contains a none-QUORVAL module!";
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
        QFile log(sim.FilePath("frames.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(!log.readAll().contains(" rx 53"));  // nothing programmed
    }

    void programAndSetReachTheModules() {
        SimProcess sim({"--log", "{dir}/frames.log"},
                       "[module 300]\nside = G\n[module 512]\nside = R\n[module 7]\nside = L\n");
        QVERIFY(sim.Start());
        const Run p =
            Cli({"--port", sim.LinkPath(), "program", "--baud", "250", "--identifiers", "29",
                 "--topology", "point-to-point", "--relay", "CH1_Error OR CH2_Error"});
        QCOMPARE(p.code, 0);
        QCOMPARE(p.out.split('\n', Qt::SkipEmptyParts).last(), QString("sent 3 of 3, failed 0"));
        const Run set = Cli({"--port", sim.LinkPath(), "set", "512", "--relay", "3", "--eeprom"});
        QCOMPARE(set.code, 0);
        QFile log(sim.FilePath("frames.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QStringList sent;
        for (const QString& line : QString::fromLatin1(log.readAll()).split('\n')) {
            const QString frame = line.section(" rx ", 1);
            if (frame.startsWith("53") || frame.startsWith("57"))
                sent << frame;
        }
        QCOMPARE(sent, (QStringList{"53 07 00 E6 0A 0D 00", "53 00 02 E6 0A 0D 00",
                                    "53 2C 01 E6 0A 0D 00", "57 00 02 F6 0A 0D 00"}));
        const Run q = Cli({"--port", sim.LinkPath(), "query", "512", "--json"});
        QCOMPARE(QJsonDocument::fromJson(q.out.toUtf8()).array()[0].toObject()["mode"].toInt(),
                 0xF6);
        const Run silent = Cli({"--port", sim.LinkPath(), "set", "9", "--relay", "0"});
        QCOMPARE(silent.code, 2);
        QCOMPARE(silent.err.trimmed(), QString("Modul with ID 9 not answer!"));
    }

    void portInUseIsSaidSo() {
        SimProcess sim;
        QVERIFY(sim.Start());
        QProcess monitor;
        monitor.start(QStringLiteral(QUORVAL_CLI_PATH), {"--port", sim.LinkPath(), "monitor"});
        QVERIFY(monitor.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += monitor.readAllStandardError()).contains("listening"),
                                 10000);
        const Run refused = Cli({"--port", sim.LinkPath(), "scan"});
        QCOMPARE(refused.code, 3);
        QVERIFY2(refused.err.contains("in use"), qPrintable(refused.err));
        monitor.terminate();  // SIGTERM ends the monitor cleanly
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 0);
        QCOMPARE(Cli({"--port", sim.LinkPath(), "scan"}).code, 0);

        // The adapter pulled under a running monitor ends it with 3 and says so.
        monitor.start(QStringLiteral(QUORVAL_CLI_PATH), {"--port", sim.LinkPath(), "monitor"});
        said.clear();
        QTRY_VERIFY_WITH_TIMEOUT((said += monitor.readAllStandardError()).contains("listening"),
                                 10000);
        sim.Stop();
        QVERIFY(monitor.waitForFinished(10000));
        QCOMPARE(monitor.exitCode(), 3);
        QVERIFY2(monitor.readAllStandardError().contains("connection lost"), said.constData());
    }

    // The adapter pulled half-way through a command: what got through, and status 3.
    void linkLostHalfWayEndsWithThree_data() {
        QTest::addColumn<QByteArray>("hangup");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("said");
        QTest::newRow("scan") << QByteArray("hangup_after_tx = 20") << QStringList{"scan"}
                              << "the scan stopped after";
        QTest::newRow("program") << QByteArray("hangup_after_rx = 3")
                                 << QStringList{"program",        "--baud",  "125",
                                                "--identifiers",  "11",      "--topology",
                                                "point-to-point", "--relay", "0"}
                                 << "modules not programmed";
    }
    void linkLostHalfWayEndsWithThree() {
        QFETCH(QByteArray, hangup);
        QFETCH(QStringList, command);
        QFETCH(QString, said);
        QByteArray ini = "[system]\n" + hangup + "\n[module 1]\nside = G\n";
        for (int id = 2; id <= 40; ++id)
            ini += "[module " + QByteArray::number(id) + "]\nside = " + (id % 2 ? "L" : "R") + "\n";
        SimProcess sim({}, ini);
        QVERIFY(sim.Start());
        const Run r = Cli(QStringList{"--port", sim.LinkPath()} + command);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(said) && r.err.contains("connection lost"), qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        if (command[0] == "scan") {
            // Every module listed was counted, and fewer than the system has.
            QVERIFY(!lines.isEmpty() && lines.size() <= 20);
            QVERIFY(r.err.contains(QString("after %1 modules").arg(lines.size())));
            return;
        }
        // Each module's line says sent or refused, and the counts add up.
        const QStringList refused = lines.filter("REFUSED");
        QVERIFY(!refused.isEmpty());
        QCOMPARE(lines.last(),
                 QString("sent %1 of 40, failed %2").arg(40 - refused.size()).arg(refused.size()));
    }

    void largeSystemIsScannedWhole() {
        // 1000 modules take ~13 s at 9600 baud: longer than the scan's limit.
        QByteArray ini = "[module 1]\nside = G\n";
        for (int id = 2; id <= 1000; ++id)
            ini += "[module " + QByteArray::number(id) + "]\nside = " + (id % 2 ? "L" : "R") + "\n";
        SimProcess sim({}, ini);
        QVERIFY(sim.Start());
        const Run r = Cli({"--port", sim.LinkPath(), "scan"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count('\n'), 1000);
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"

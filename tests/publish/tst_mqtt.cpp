// quorval-cli watch --mqtt against a real broker that the test starts and stops.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include <csignal>

#include "support/MqttBroker.h"
#include "support/SimProcess.h"

using testing_support::Cli;
using testing_support::MqttBroker;
using testing_support::MqttSub;
using testing_support::Run;
using testing_support::SimProcess;

namespace {

QJsonObject Object(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object();
}

// The JSON Lines of watch --json: samples, and events (they have "event").
std::pair<QList<QJsonObject>, QList<QJsonObject>> JsonLines(const QString& out) {
    QList<QJsonObject> samples, events;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = Object(line.toUtf8());
        (o.contains("event") ? events : samples) << o;
    }
    return {samples, events};
}

QList<int> CsvRounds(const QString& path) {
    QFile f(path);
    QList<int> rounds;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& row : f.readAll().split('\n').mid(1)) {
            if (const int n = row.split(',').value(1).toInt(); n > 0 && !rounds.contains(n))
                rounds << n;
        }
    }
    return rounds;
}

}  // namespace

class TstMqtt : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("mosquitto").isEmpty())
            QSKIP("skipped: no mosquitto broker here (scripts/install-deps installs it)");
    }

    // A subscriber who comes after the watch ended sees its whole last state; one who was
    // there saw every event in order; Home Assistant's configurations point at real topics.
    void lateSubscriberSeesTheStateAndEventsComeInOrder() {
        MqttBroker broker;
        QVERIFY(broker.Start());
        SimProcess sim({"--no-pacing"},
                       "[module 1]\nside = G\nch1_error = 1\n[module 2]\nside = L\n"
                       "ch2_rise = 3/0.5\n[module 3]\nside = R\n");
        QVERIFY(sim.Start());
        MqttSub live(broker, "quorval/#");
        const Run r =
            Cli({"--port", sim.LinkPath(), "watch", "--interval", "1", "--duration", "3", "--json",
                 "--mqtt", broker.Url(), "--mqtt-name", "hall-3", "--mqtt-discovery"});
        QVERIFY2(r.code == 2, qPrintable(r.err));
        const auto [samples, events] = JsonLines(r.out);
        QVERIFY(events.size() >= 3);  // CH1 in error, then a rise in every round
        QTRY_COMPARE(live.Payloads("quorval/hall-3/event").size(), events.size());
        for (int i = 0; i < events.size(); ++i)
            QCOMPARE(Object(live.Payloads("quorval/hall-3/event")[i]), events[i]);

        MqttSub late(broker, "#");
        const QString base = "quorval/hall-3/";
        const QRegularExpression kept("^1 (homeassistant/|quorval/hall-3/module/)");
        QTRY_COMPARE(late.Lines().filter(kept).size(), 3 * 5 + 3);  // every retained one came
        QTRY_COMPARE(late.Payloads(base + "status", 1), QList<QByteArray>{"offline"});
        QCOMPARE(Object(late.Payloads(base + "link", 1).value(0))["state"], "up");
        const QJsonObject round = Object(late.Payloads(base + "round", 1).value(0));
        QCOMPARE(round["round"].toInt(), samples.last()["round"].toInt());
        QCOMPARE(round["modules"].toInt(), 3);
        for (int id = 1; id <= 3; ++id) {
            const QJsonObject module =
                Object(late.Payloads(base + "module/" + QString::number(id), 1).value(0));
            QList<QJsonObject> mine;  // its samples: one is the round it last changed in
            std::copy_if(samples.begin(), samples.end(), std::back_inserter(mine),
                         [id](const QJsonObject& s) { return s["id"].toInt() == id; });
            QVERIFY(mine.contains(module));
            for (const char* key : {"present", "ch2_count", "ch2_error"})
                QCOMPARE(module[key], mine.last()[key]);
        }
        QStringList configs;
        for (const QString& line : late.Lines()) {
            if (!line.section(' ', 1, 1).startsWith("homeassistant/"))
                continue;
            configs << line;
            const QJsonObject c = Object(line.section(' ', 2).toUtf8());
            const QJsonObject state =
                Object(late.Payloads(c["state_topic"].toString(), 1).value(0));
            const QString field = c["value_template"].toString().section('.', 1).section(' ', 0, 0);
            QVERIFY2(state.contains(field), qPrintable(line));
            QCOMPARE(c["availability_topic"].toString(), base + "status");
            QVERIFY(c["device"]["identifiers"].toArray().contains(
                "quorval_hall-3_" + state["id"].toVariant().toString()));
        }
        QCOMPARE(configs.size(), 3 * 5);
        QCOMPARE(configs.filter("\"device_class\":\"problem\"").size(), 3 * 2);
        QCOMPARE(configs.filter("\"state_class\":\"total_increasing\"").size(), 3 * 2);
    }

    // The broker stopped for several rounds: the watch keeps its rounds, says so once,
    // and once the broker is back publishes the state again and the waiting events in
    // order. Killed, it leaves its will.
    void brokerAwayAndBackLosesNoRoundAndNoEvent() {
        MqttBroker broker({}, true);
        QVERIFY(broker.Start());
        SimProcess sim({"--no-pacing"},
                       "[module 1]\nside = G\n[module 2]\nside = L\nch2_rise = 1/1\n");
        QVERIFY(sim.Start());
        MqttSub sub(broker, "quorval/#", true);
        const QString csv = sim.FilePath("watch.csv");
        QProcess cli;
        cli.start(QUORVAL_CLI_PATH, {"--port", sim.LinkPath(), "watch", "--interval", "1", "--out",
                                     csv, "--mqtt", broker.Url(), "--mqtt-name", "n"});
        QString err;
        const auto said = [&](const char* text) {
            err += QString::fromUtf8(cli.readAllStandardError());
            return err.count(text);
        };
        QTRY_VERIFY_WITH_TIMEOUT(sub.Payloads("quorval/n/round").size() >= 2, 15000);
        broker.Stop();
        const int before = int(CsvRounds(csv).size());
        QTRY_VERIFY_WITH_TIMEOUT(CsvRounds(csv).size() >= before + 3, 15000);
        QCOMPARE(said("unreachable ("), 1);
        QVERIFY(broker.Start());
        QTRY_VERIFY_WITH_TIMEOUT(said("mqtt: connected to") == 2, 15000);
        const int last = CsvRounds(csv).last();
        QList<int> eventRounds;  // QoS 1 may bring one twice; each first time counts
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                eventRounds.clear();
                for (const QByteArray& e : sub.Payloads("quorval/n/event"))
                    if (const int n = Object(e)["round"].toInt(); !eventRounds.contains(n))
                        eventRounds << n;
                return eventRounds.contains(last);
            }(),
            15000);
        for (int i = 1; i < eventRounds.size(); ++i)
            QCOMPARE(eventRounds[i], eventRounds[i - 1] + 1);
        QCOMPARE(said("unreachable ("), 1);
        // Unchanged, but published again; the broker's own copies on subscribing again not counted.
        QCOMPARE(sub.Payloads("quorval/n/module/1", 0).size(), 2);
        // The broker's shutdown published the will: offline until the watch was back.
        const auto statuses = [&sub] {
            QList<QByteArray> s = sub.Payloads("quorval/n/status", 0);
            s.erase(std::unique(s.begin(), s.end()), s.end());
            return s;
        };
        QCOMPARE(statuses(), (QList<QByteArray>{"online", "offline", "online"}));

        ::kill(pid_t(cli.processId()), SIGKILL);
        QTRY_COMPARE(statuses().size(), 4);
        QCOMPARE(statuses().last(), "offline");
        cli.waitForFinished();
        const QList<int> rounds = CsvRounds(csv);
        for (int i = 0; i < rounds.size(); ++i)
            QCOMPARE(rounds[i], i + 1);
    }

    // The start with the broker: the right password connects; a refusal ends the watch with 1
    // before it scans, naming the broker and why; a host that takes the connection and never
    // answers costs the start a bounded wait and no round.
    void startWithTheBroker_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("withCa");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("said");
        const auto row = [](const char* name, const char* url, bool ca, const char* password,
                            int code, const char* said) {
            QTest::newRow(name) << QString(url) << ca << QByteArray(password) << code
                                << QString(said);
        };
        const char* tls = "mqtts://localhost:{tls}";
        row("right password", tls, true, "s3cret", 0, "mqtt: connected to localhost:{tls}");
        row("wrong password", tls, true, "guess", 1,
            "quorval-cli: mqtt: localhost:{tls} refused the connection (not authorised)");
        row("untrusted certificate", tls, false, "s3cret", 1,
            "localhost:{tls} refused the connection (TLS: certificate verify failed)");
        row("wrong name", "mqtts://127.0.0.1:{tls}", true, "s3cret", 1,
            "127.0.0.1:{tls} refused the connection (TLS: host name verification failed)");
        row("never answers", "mqtt://127.0.0.1:{silent}", false, "s3cret", 0,
            "mqtt: 127.0.0.1:{silent} unreachable (no answer within 3 s), retrying");
    }
    void startWithTheBroker() {
        QFETCH(QString, url);
        QFETCH(bool, withCa);
        QFETCH(QByteArray, password);
        QFETCH(int, code);
        QFETCH(QString, said);
        MqttBroker broker(
            "listener {tls} 127.0.0.1\ncafile {dir}/ca.crt\ncertfile {dir}/srv.crt\n"
            "keyfile {dir}/srv.key\nallow_anonymous false\npassword_file {dir}/passwd\n");
        QVERIFY(broker.MakeCertificates());
        QCOMPARE(QProcess::execute("mosquitto_passwd",
                                   {"-c", "-b", broker.FilePath("passwd"), "tech", "s3cret"}),
                 0);
        QVERIFY(broker.Start());
        QTcpServer silent;  // the system accepts; nobody ever reads
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const auto fill = [&](QString s) {
            return s.replace("{tls}", QString::number(broker.TlsPort()))
                .replace("{silent}", QString::number(silent.serverPort()));
        };
        QFile file(broker.FilePath("password"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(password + "\n") > 0);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        file.close();
        SimProcess sim({"--no-pacing"}, "[module 1]\nside = G\n");
        QVERIFY(sim.Start());
        const QString csv = sim.FilePath("watch.csv");
        QStringList args{"--port", sim.LinkPath(), "watch", "--interval", "1", "--duration", "3.5"};
        args << "--out" << csv << "--mqtt" << fill(url) << "--mqtt-user"
             << "tech"
             << "--mqtt-password-file" << file.fileName();
        if (withCa)
            args << "--mqtt-cafile" << broker.FilePath("ca.crt");
        const Run r = Cli(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(fill(said)), qPrintable(r.err));
        QVERIFY(r.err.contains("can be read by others than its owner"));
        const auto rounds = CsvRounds(csv).size();
        QVERIFY(code == 1 ? rounds == 0 : rounds >= 3);  // nothing scanned, or no round held up
    }
};

QTEST_GUILESS_MAIN(TstMqtt)
#include "tst_mqtt.moc"

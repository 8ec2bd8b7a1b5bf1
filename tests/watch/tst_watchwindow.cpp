// The watch window against the simulator, as a technician leaves it running.

#include <QtTest>

#include <QAccessible>
#include <csignal>

#include "geometry/ModulePixels.h"
#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "record/WatchLogReader.h"
#include "record/WatchText.h"
#include "support/MqttBroker.h"
#include "support/SimProcess.h"
#include "support/Unnamed.h"
#include "watch/frmWatch.h"

using namespace quorval;
using testing_support::MqttBroker;
using testing_support::MqttSub;
using testing_support::SimProcess;

namespace {

struct Rig {
    Global g;
    QStringList messages;
    std::unique_ptr<frmWatch> w;

    explicit Rig(const QString& device) {
        g.MsgBox = [this](const QString& text, MessageIcon, const QString&) { messages << text; };
        auto port = std::make_unique<QtSerialComm>();
        port->MapPort(1, device);
        port->SetCommPort(1);
        w = std::make_unique<frmWatch>(g, std::move(port), device);
        w->SetIntervalSeconds(1);
        w->show();
    }
    QStringList Events() const {
        QStringList out;
        for (int i = 0; i < w->Model().Events().rowCount(); ++i)
            out << w->Model().Events().index(i).data().toString();
        return out;
    }
    bool Said(const QString& text) const { return Events().join('\n').contains(text); }
    int Position(int id) const {
        const auto& m = w->picRing->Modules();
        for (std::size_t k = 0; k < m.size(); ++k)
            if (m[k].id == id)
                return int(k);
        return -1;
    }
    QRgb PixelOf(int id, QPoint at) {
        const QRect r = w->picRing->PictureRect(Position(id));
        return w->picRing->grab().toImage().pixel(r.topLeft() + at);
    }
};

}  // namespace

class TstWatchWindow : public QObject {
    Q_OBJECT
  private slots:
    // A rising counter and a module that drops out: ring, table, trend and events follow
    // every round; closing the window leaves a log that replays to the same summary.
    void showsARisingCounterAndAModuleThatDropsOut() {
        SimProcess sim({},
                       "[module 1]\nside = G\n[module 2]\nside = L\nch2_rise = 5/1\n"
                       "[module 3]\nside = R\nabsent = 2-4.5\n");
        QVERIFY(sim.Start());
        Rig r(sim.LinkPath());
        const QString log = sim.FilePath("watch.csv");
        QVERIFY(r.w->SetLogFile(log));
        r.w->StartWatch();
        QCOMPARE(r.w->windowTitle(), "QUORVAL Watch - " + sim.LinkPath() + " - watching");
        QTRY_VERIFY_WITH_TIMEOUT(
            r.Position(3) >= 0 && !r.w->picRing->Modules()[r.Position(3)].present, 15000);
        QCOMPARE(r.PixelOf(3, {10, 15}), QColor::fromRgb(kMissingFaceRgb).rgb());  // greyed
        QCOMPARE(r.PixelOf(1, {10, 15}), QColor::fromRgb(kFaceRgb).rgb());
        // Said, not only drawn: the ring and its modules to assistive technology.
        QAccessibleInterface* ring = QAccessible::queryAccessibleInterface(r.w->picRing);
        QCOMPARE(ring->text(QAccessible::Name), QString("Bus Info, 3 modules, 1 missing"));
        QAccessibleInterface* gone = ring->child(r.Position(3));
        QCOMPARE(gone->text(QAccessible::Name) + ": " + gone->text(QAccessible::Description),
                 QString("Module 3: missing; last answer: firmware 3.4; CH1 ok, error counter 0; "
                         "CH2 ok, error counter 0"));
        QCOMPARE(ring->indexOfChild(gone), r.Position(3));
        QCOMPARE(testing_support::Unnamed(*r.w), QStringList());
        QVERIFY(ring->child(0)->text(QAccessible::Description).endsWith("; attached to the PC"));
        QTRY_VERIFY_WITH_TIMEOUT(r.Said("module 3 back") && r.w->Model().Rounds() >= 7, 15000);

        // Chosen in the ring: highlighted there, its row current, its counters in the trend.
        QTest::mouseClick(r.w->picRing, Qt::LeftButton, {},
                          r.w->picRing->PictureRect(r.Position(2)).center());
        QCOMPARE(r.w->SelectedModule(), 2);
        QCOMPARE(r.PixelOf(2, {10, 15}), QColor::fromRgb(kHighlightedFaceRgb).rgb());
        QCOMPARE(r.w->grdModules->currentIndex().siblingAtColumn(0).data().toInt(), 2);
        QCOMPARE(r.w->picTrend->Title(), QString("Module 2: error counters"));
        QVERIFY(QRegularExpression(R"(^Module 2, CH2 counter \d+ to \d+ in \d+ s, \d+ rises$)")
                    .match(r.w->picTrend->accessibleDescription())
                    .hasMatch());
        PlotLayout plot = r.w->picTrend->Layout();
        QCOMPARE(plot.lines[1].size(), std::size_t(1));
        QVERIFY(plot.lines[1][0].back().y < plot.lines[1][0].front().y);  // CH2 rose
        QVERIFY(plot.marks.size() >= 5);
        // Chosen in the table: the gap where it was missing.
        r.w->grdModules->sortByColumn(WatchModel::RoundsMissing, Qt::DescendingOrder);
        r.w->grdModules->setCurrentIndex(r.w->grdRows->index(0, 0));
        QCOMPARE(r.w->SelectedModule(), 3);
        plot = r.w->picTrend->Layout();
        QCOMPARE(plot.gaps[1].size(), std::size_t(1));
        QCOMPARE(plot.lines[1].size(), std::size_t(2));

        // From the keyboard: Tab from the toolbar reaches the ring, on the highlighted
        // module; the arrows move round it, Enter selects; the next Tab goes to the table.
        r.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(r.w.get()));
        const auto press = [&](Qt::Key key) {
            QTest::keyClick(r.w->windowHandle(), key);
            return QApplication::focusWidget();
        };
        r.w->txtInterval->setFocus();
        QCOMPARE(press(Qt::Key_Tab), r.w->picRing);  // the log field is disabled while watching
        QList<int> walk{ring->indexOfChild(ring->focusChild())};
        for (Qt::Key key : {Qt::Key_Home, Qt::Key_Left, Qt::Key_Left}) {
            press(key);
            walk << ring->indexOfChild(ring->focusChild());
        }
        QCOMPARE(walk, (QList<int>{r.Position(3), 0, 2, 1}));  // on the highlighted one first
        press(Qt::Key_Enter);
        QCOMPARE(r.w->SelectedModule(), r.w->picRing->Modules()[1].id);
        QCOMPARE(press(Qt::Key_Tab), r.w->grdModules);
        QCOMPARE(press(Qt::Key_Tab), r.w->grdModules);  // its own Tab moves between cells

        // The rows where something happened stand out; the others do not.
        r.w->grdModules->sortByColumn(WatchModel::Ch2Gained, Qt::DescendingOrder);
        const auto row = [&](int i, int column, int role = Qt::DisplayRole) {
            return r.w->grdRows->index(i, column).data(role);
        };
        QCOMPARE(row(0, WatchModel::Id).toInt(), 2);
        QVERIFY(row(0, WatchModel::Ch2Gained).toInt() >= 25);
        QCOMPARE(row(0, WatchModel::LargestRise).toInt(), 5);
        QVERIFY(row(0, 0, Qt::BackgroundRole).isValid() && row(1, 0, Qt::BackgroundRole).isValid());
        QCOMPARE(row(2, WatchModel::Id).toInt(), 1);
        QVERIFY(!row(2, 0, Qt::BackgroundRole).isValid());

        // Events newest first, in the command line's words.
        const QStringList events = r.Events();
        QVERIFY(events.first() >= events.last());
        QVERIFY(events.indexOf(QRegularExpression(".*module 3 back")) <
                events.indexOf(QRegularExpression(".*module 3 missing")));
        QVERIFY(r.Said("module 2 CH2 counter rose"));

        r.w->close();
        QTRY_VERIFY(!r.w->isVisible());
        QCOMPARE(r.w->CurrentState(), frmWatch::State::Stopped);
        WatchLogReader reader(log);
        QVERIFY(reader.Open());
        WatchLogRounds rounds(reader);
        WatchTracker replay;
        for (WatchLogRounds::Round round; rounds.Next(round);)
            replay.Feed(round.timeMs, round.present);
        QCOMPARE(replay.Rounds(), r.w->Watch().Tracker().Rounds());
        QCOMPARE(WatchSummary(replay), WatchSummary(r.w->Watch().Tracker()));
        QVERIFY(r.messages.isEmpty());
    }

    // The port held by another program, then the adapter pulled and plugged in again:
    // said in the title and the events, never a hang; the history stays.
    void portInUseAndPulledAdapterAreSaidAndTheWatchResumes() {
        const QByteArray modules = "[module 1]\nside = G\n[module 2]\nside = L\n";
        SimProcess sim({}, "[system]\nhangup_after_rx = 3\n" + modules);
        QVERIFY(sim.Start());
        auto other = std::make_unique<QtSerialComm>();  // the setup tool, say
        other->MapPort(1, sim.LinkPath());
        QCOMPARE(other->SetPortOpen(true), 0);
        Rig r(sim.LinkPath());
        r.w->StartWatch();
        QTRY_VERIFY(r.w->CurrentState() == frmWatch::State::LinkLost);
        QVERIFY(r.w->windowTitle().endsWith(" - link lost"));
        QVERIFY(r.Said("link lost: cannot open the port: in use by another program"));
        QTRY_VERIFY(r.w->CurrentState() == frmWatch::State::Retrying);
        other.reset();
        QTRY_VERIFY_WITH_TIMEOUT(r.w->Model().rowCount() == 2, 10000);

        // Hung up at its third frame; the wait lets the window run.
        QTRY_VERIFY_WITH_TIMEOUT(sim.Process().state() == QProcess::NotRunning, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(r.w->CurrentState() == frmWatch::State::LinkLost, 10000);
        QCOMPARE(r.Events().filter(" link lost: ").size(), 2);
        QCOMPARE(r.w->Model().rowCount(), 2);
        QVERIFY(sim.Restart(modules));
        QTRY_VERIFY_WITH_TIMEOUT(r.Said("link back") && r.w->windowTitle().endsWith(" - watching"),
                                 15000);
        QVERIFY(r.Events().first().endsWith("link back"));
        QCOMPARE(r.w->Model().Module(0).figures.roundsMissing, 0);  // no module went missing
    }

    // The broker's state in the status line, its lines among the events, as it comes and
    // goes; Home Assistant coming back is told the modules again.
    void saysTheBrokerStateAsItComesAndGoes() {
        MqttBroker broker;
        QVERIFY(broker.Start());
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        Rig r(sim.LinkPath());
        MqttConfig c;
        c.host = "127.0.0.1";
        c.port = broker.Port();
        c.name = "w";
        c.discovery = true;
        MqttPublisher p(c);
        p.Follow(r.w->Watch());
        r.w->ShowPublisher(p);
        connect(&p, &MqttPublisher::Ready, r.w.get(), &frmWatch::StartWatch);
        p.Start();
        const QString at = QString("127.0.0.1:%1").arg(broker.Port());
        QTRY_COMPARE(r.w->lblBroker->text(), "MQTT: connected to " + at);
        QTRY_VERIFY(r.Said("mqtt: connected to " + at) && r.w->Model().Rounds() >= 1);
        // Home Assistant back: it is told again what there is.
        MqttSub ha(broker, "homeassistant/#");
        const QString config = "homeassistant/binary_sensor/quorval_w_100/present/config";
        QTRY_COMPARE(ha.Payloads(config, 1).size(), 1);
        QCOMPARE(QProcess::execute("mosquitto_pub", {"-p", QString::number(broker.Port()), "-t",
                                                     "homeassistant/status", "-m", "online"}),
                 0);
        QTRY_COMPARE(ha.Payloads(config, 0).size(), 1);
        broker.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(
            r.w->lblBroker->text().startsWith("MQTT: " + at + " unreachable ("), 10000);
    }

    // A log that cannot take it is refused before it is opened; a disk that fills up under
    // the log (a file size limit here) stops the watch, said once, every round before whole.
    void logThatStopsTakingBytesStopsTheWatch() {
        SimProcess sim({"--no-pacing"}, "[module 1]\nside = G\n[module 2]\nside = L\n");
        QVERIFY(sim.Start());
        Rig r(sim.LinkPath());
        QVERIFY(!r.w->SetLogFile("/dev/full"));
        QVERIFY(r.messages.value(0).startsWith("/dev/full is not a regular file"));
        const QString log = sim.FilePath("watch.csv");
        QVERIFY(r.w->SetLogFile(log));
        testing_support::LimitFileSize(300);
        const auto unlimited = qScopeGuard([] { testing_support::LimitFileSize(0); });
        r.w->StartWatch();
        QTRY_VERIFY_WITH_TIMEOUT(r.w->CurrentState() == frmWatch::State::Stopped, 20000);
        QTRY_COMPARE(r.messages.value(1),
                     "cannot write " + log + ": File too large; the watch stopped");
        QVERIFY(r.w->windowTitle().endsWith(" - stopped"));
        QCOMPARE(r.w->lblState->text(), "Stopped: cannot write " + log + ": File too large");
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.endsWith('\n') && bytes.count('\n') == 1 + 2 * 2);  // nothing after them
    }

    // The program itself: bad arguments before any window; SIGTERM ends it
    // cleanly with every round it finished in the log, the broker told it is offline.
    void programEndsCleanlyOnSigterm() {
        for (const auto& [args, said] :
             {std::pair{QStringList{"--interval", "0"}, "--interval takes a number of seconds"},
              {{"--mqtt", "mqtt://broker", "--mqtt-name", "a b"}, "the system name 'a b' holds"}}) {
            QProcess bad;
            bad.start(QStringLiteral(QUORVAL_WATCH_PATH), args);
            QVERIFY(bad.waitForFinished(20000));
            QCOMPARE(bad.exitCode(), 1);
            QVERIFY(bad.readAllStandardError().contains(said));
        }

        SimProcess sim({"--no-pacing"}, "[module 5]\nside = G\n[module 6]\nside = R\n");
        QVERIFY(sim.Start());
        const QString log = sim.FilePath("watch.csv");
        QProcess app;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        MqttBroker broker;
        QVERIFY(broker.Start());
        MqttSub sub(broker, "quorval/w/status");
        app.start(QStringLiteral(QUORVAL_WATCH_PATH),
                  {"--port", sim.LinkPath(), "--interval", "1", "--out", log, "--mqtt",
                   broker.Url(), "--mqtt-name", "w"});
        const auto rows = [&log] {
            QFile f(log);
            return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= 1 + 2 * 3, 20000);
        ::kill(pid_t(app.processId()), SIGTERM);
        QVERIFY(app.waitForFinished(20000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        QTRY_COMPARE(sub.Payloads("quorval/w/status"), (QList<QByteArray>{"online", "offline"}));
        QCOMPARE((rows() - 1) % 2, 0);  // whole rounds only, each flushed as it ended
        WatchLogReader reader(log);
        QVERIFY(reader.Open());
        for (WatchLogRow row; reader.Next(row) != WatchLogReader::Result::End;)
            QVERIFY2(reader.Problem().isEmpty(), qPrintable(reader.Problem()));
    }
};

QTEST_MAIN(TstWatchWindow)
#include "tst_watchwindow.moc"

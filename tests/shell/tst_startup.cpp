// The program from start to exit, through its real windows, against the simulator.

#include <QtTest>

#include <ctime>

#include "support/AppRig.h"
#include "support/SimProcess.h"
#include "ui/MessageBoxes.h"

using namespace quorval;
using testing_support::AppRig;
using testing_support::SimProcess;

namespace {

bool CanOpen(const QString& device) {
    QtSerialComm probe;
    return probe.OpenDevice(device) == 0;
}

QStringList Lines(const frmDebug& d) {
    QStringList out;
    for (int i = 0; i < d.lstDebugOutput->count(); ++i)
        out << d.lstDebugOutput->item(i)->text();
    return out;
}

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT
  private slots:
    void settingsThatConfigureNoPort_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("debug");
        const QByteArray head = "[QUORVAL Setup Tool]\n";
        QTest::newRow("no settings file") << QByteArray() << false;
        QTest::newRow("comport 5") << head + "comport = 5\n" << false;
        QTest::newRow("comport 0") << head + "comport = 0\n" << false;
        QTest::newRow("debug 73 written with junk, no port") << head + "debug=73x\n" << true;
        QTest::newRow("debug 74") << head + "debug = 74\n" << false;
        QTest::newRow("debug 329: 73 and a byte more") << head + "debug = 329\n" << false;
        QTest::newRow("other section") << QByteArray("[Setup]\ncomport = 1\ndebug = 73\n") << false;
        QTest::newRow("a FIFO in its place") << QByteArray("<fifo>") << false;
    }
    void settingsThatConfigureNoPort() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, debug);
        AppRig r;
        if (ini == "<fifo>")
            QCOMPARE(QProcess::execute("mkfifo", {r.IniPath()}), 0);
        else if (!ini.isEmpty())
            r.WriteIni(ini);
        r.Start();
        QVERIFY(r.main->ExistingProgramSettingsForm());  // the port selection is offered
        QVERIFY(!r.main->Link().Port().PortOpen());
        QCOMPARE(r.g.DebugEnabled, debug);
        QCOMPARE(r.main->mnuDebug->isVisible(), debug);
        QVERIFY(!r.main->mnuDebug->isChecked());
        if (ini == "<fifo>")
            return;
        QCOMPARE(r.Ini(), ini);  // nothing written until OK
        // OK without a choice says so and stores that no port is chosen.
        QTest::mouseClick(r.main->ProgramSettingsForm().cmdOK, Qt::LeftButton);
        QCOMPARE(r.messages, QStringList{"QUORVAL Setup Tool: No com port available!"});
        QVERIFY(r.Ini().endsWith(" 0\n") && !r.main->Link().Port().PortOpen());
    }

    // After the first Refresh the debug window that the bytes open hides neither a module of
    // the whole 16-module ring nor a dialog, at the program's own first size and at others.
    void firstWindowShowsEveryWindowWholeAndApart_data() {
        QTest::addColumn<QSize>("size");  // empty: the program's own
        QTest::newRow("first size") << QSize();
        QTest::newRow("1000x740") << QSize(1000, 740);
        QTest::newRow("bus view taller than wide") << QSize(1270, 1000);
    }
    void firstWindowShowsEveryWindowWholeAndApart() {
        QFETCH(QSize, size);
        SimProcess sim({"--no-pacing"}, testing_support::Chain(16, 'L'));
        QVERIFY(sim.Start());
        AppRig r;
        r.StartOn(sim.LinkPath(), size);
        QWidget* state = r.main->ModuleStateForm().parentWidget();
        QWidget* global = r.main->GlobalSettingsForm().parentWidget();
        QWidget* bus = r.main->BusForm().parentWidget();
        const QSize area = r.main->Area().size();
        QCOMPARE(state->pos(), QPoint(0, 0));
        QCOMPARE(global->pos(), QPoint(0, state->height()));
        QCOMPARE(bus->geometry(), QRect(area.width() - area.width() / 2, 0, area.width() / 2,
                                        int(area.height() * 0.75)));
        QCOMPARE(int(r.g.BusInfoWidth), qRound(area.width() * 0.5 * 15));
        const QRect screen = r.main->screen()->availableGeometry();
        QVERIFY(size.isValid() || screen.contains(QRect(screen.topLeft(), r.main->size())));
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled() &&
                !r.main->ModuleStateForm().cmdApply->isEnabled());
        QCOMPARE(r.main->GlobalSettingsForm().cmbBaudrate->currentText(), QString("125 KBit/s"));

        QVERIFY(r.Refresh());
        QVERIFY(r.main->ExistingDebugForm());
        QWidget* debug = r.main->DebugForm().parentWidget();
        const QList<QWidget*> windows{state, global, bus, debug};
        for (int i = 0; i < windows.size(); ++i) {
            QVERIFY(QRect(QPoint(0, 0), area).contains(windows[i]->geometry()));
            for (int j = 0; j < i; ++j)
                QVERIFY(!windows[i]->geometry().intersects(windows[j]->geometry()));
        }
        const frmBackground& view = r.main->BusForm();
        QCOMPARE(view.picModule.size(), std::size_t(16));
        for (const ModulePicture* pic : view.picModule) {
            QVERIFY(view.rect().contains(pic->geometry()));
            const QRect inArea(pic->mapTo(bus, QPoint(0, 0)) + bus->pos(), pic->size());
            QVERIFY(!debug->geometry().intersects(inArea));
        }
    }

    // Connected on COM1, the technician opens the selection, looks at another program,
    // closes it once, plugs in the spare adapter, then picks it as COM4. What was picked
    // is what is open, now and later.
    void portSelectionWhileConnected() {
        SimProcess com1, held, com4;
        QVERIFY(com1.Start() && held.Start());
        QProcess holder;
        holder.start("flock", {"--exclusive", held.LinkPath(), "-c", "echo held; read line"});
        QVERIFY(holder.waitForReadyRead(10000));
        AppRig r;
        r.WriteIni("; the team's notes\n" + AppRig::UsePort(com1.LinkPath()) + "com2 = " +
                   held.LinkPath().toLocal8Bit() + "\ncom3 = " + r.IniPath().toLocal8Bit() +
                   "\ncom4 = " + com4.LinkPath().toLocal8Bit() + "   ; the spare adapter\n");
        r.Start();
        const MSComm& port = r.main->Link().Port();
        QVERIFY(port.PortOpen());
        r.main->mnuSelectCOMport->trigger();
        QVERIFY(r.Idle());  // the ports tested
        frmProgramSettings& w = r.main->ProgramSettingsForm();
        QStringList captions;
        for (QRadioButton* o : {w.optCom1, w.optCom2, w.optCom3, w.optCom4})
            captions << o->text() + (o->isEnabled() ? "" : " -");
        // Our own port tests as usable; the others say why they are not.
        QCOMPARE(captions, (QStringList{"COM1", "COM2 (in use) -", "COM3 (not found) -",
                                        "COM4 (not found) -"}));
        QCOMPARE(w.optCom3->toolTip(), "COM3: " + r.IniPath() +
                                           "\nset by the com3 key\na regular file, not a serial "
                                           "device");
        QVERIFY(!port.PortOpen());  // every test closed again
        QVERIFY(com4.Start());
        const QByteArray before = r.Ini();
        w.parentWidget()->close();  // the close box: port closed, file as it was
        QTRY_VERIFY(!r.main->ExistingProgramSettingsForm());
        QVERIFY(!port.PortOpen());
        QCOMPARE(r.Ini(), before);

        r.main->mnuSelectCOMport->trigger();
        QVERIFY(r.Idle());
        QRadioButton* com4Option = r.main->ProgramSettingsForm().optCom4;
        // On the round mark itself, where a technician clicks.
        QTest::mouseClick(com4Option, Qt::LeftButton, {}, QPoint(6, com4Option->height() / 2));
        QTest::mouseClick(r.main->ProgramSettingsForm().cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!r.main->ExistingProgramSettingsForm());
        QCOMPARE(port.CommPort(), 4);
        QVERIFY(port.PortOpen() && r.main->Link().Polling());
        QVERIFY(!CanOpen(com4.LinkPath()) && CanOpen(com1.LinkPath()));  // ours, exclusively
        QCOMPARE(r.Ini(), QByteArray(before).replace("comport = 1", "comport = 4"));
        r.Restart();
        QVERIFY(!r.main->ExistingProgramSettingsForm());
        QCOMPARE(r.main->Link().Port().CommPort(), 4);
        QVERIFY(r.main->Link().Port().PortOpen());
        r.main->mnuExit->trigger();  // Exit ends at once and lets the port go
        QCOMPARE(r.exits, 1);
        QVERIFY(!r.main->Link().Polling() && CanOpen(com4.LinkPath()));
        r.Restart();
        r.main->close();  // so does closing the window
        QVERIFY(CanOpen(com4.LinkPath()));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
    }

    void choiceSurvivesAReadOnlyInstallFolder() {
        SimProcess com2;
        QVERIFY(com2.Start());
        AppRig r;
        const QByteArray shared = "; prepared for everyone\n[QUORVAL Setup Tool]\ncom2 = " +
                                  com2.LinkPath().toLocal8Bit() + "\n";
        r.WriteIni(shared);
        // Read-only for root too: the immutable flag.
        QFile::setPermissions(r.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const int chattr = QProcess::execute("chattr", {"+i", r.dir.path()});
        const auto unlock = qScopeGuard([&] {
            QProcess::execute("chattr", {"-i", r.dir.path()});
            QFile::setPermissions(r.dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (QFile probe(r.dir.filePath("probe")); probe.open(QIODevice::WriteOnly))
            QSKIP(qPrintable(QString("the folder stays writable for this user: chattr +i gave %1 "
                                     "(not installed, or the file system has no immutable flag)")
                                 .arg(chattr)));
        r.Start();
        r.main->ProgramSettingsForm().optCom2->setChecked(true);
        r.main->ProgramSettingsForm().cmdOK_Click();
        QVERIFY(r.messages.isEmpty());
        QFile user(r.UserIniPath());
        QVERIFY(user.open(QIODevice::ReadOnly));
        QCOMPARE(user.readAll(), shared + "comport= 2\n");
        r.Restart();  // the next start opens the port chosen at the first
        QVERIFY(!r.main->ExistingProgramSettingsForm());
        QCOMPARE(r.main->Link().Port().CommPort(), 2);
        QVERIFY(r.main->Link().Port().PortOpen());
        r.main->mnuAbout->trigger();
        QVERIFY(r.messages.value(0).startsWith("About: QUORVAL Setup Tool Version 1.50\r\n\r\n"));
        QVERIFY(r.messages.value(0).endsWith("\r\n\r\nPort: COM2: " + com2.LinkPath() +
                                             "\r\nSettings: " + r.UserIniPath()));
    }

    void debugSwitchAndItsWindow() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        AppRig r;
        // Another value: the window that the bytes open shows their counts only.
        r.WriteIni(AppRig::UsePort(sim.LinkPath()) + "debug = 72\n");
        r.Start();
        r.main->mnuRefresh_Click();
        QVERIFY(Lines(r.main->DebugForm()).filter(QRegularExpression("^ ")).isEmpty());
        QVERIFY(!r.main->mnuDebug->isVisible());
        r.WriteIni(AppRig::UsePort(sim.LinkPath()) + "debug = 73\n");
        r.Restart();
        QVERIFY(r.main->mnuDebug->isVisible() && r.g.DebugEnabled);
        QVERIFY(!r.main->ExistingDebugForm());
        r.main->mnuDebug->trigger();  // first click: stays on, opens the window
        QVERIFY(r.main->mnuDebug->isChecked() && r.g.DebugEnabled);
        QVERIFY(r.Refresh());
        frmDebug& d = r.main->DebugForm();
        QCOMPARE(Lines(d).filter(QRegularExpression("^ 4C( [0-9A-F]{2}){10}$")).size(), 2);
        QCOMPARE(Lines(d).filter(QRegularExpression("^ ")).size(), 6);
        QCOMPARE(d.lstDebugOutput->currentRow(), d.lstDebugOutput->count() - 1);
        r.main->mnuDebug->trigger();  // second click: off, the window stays
        QVERIFY(!r.main->mnuDebug->isChecked() && !r.g.DebugEnabled);
        QTest::mouseClick(d.cmdClearDebugOutput, Qt::LeftButton);
        QVERIFY(r.Refresh());
        QVERIFY(!Lines(d).isEmpty());
        QVERIFY(Lines(d).filter(QRegularExpression("^ ")).isEmpty());  // counts only
        // Closed, it is created afresh and empty with the next bytes.
        QPointer<frmDebug> closed = &d;
        d.parentWidget()->close();
        QTRY_VERIFY(closed.isNull());
        QVERIFY(r.Refresh());
        QVERIFY(Lines(r.main->DebugForm()).first().startsWith("Bytes received: "));
    }

    // The adapter pulled (the simulator stopped) at each moment a technician meets it.
    void lostLinkIsSaidOnceClearedAndRecovered_data() {
        QTest::addColumn<QString>("during");
        QTest::newRow("idle window") << "idle";
        QTest::newRow("scan") << "scan";
        QTest::newRow("query wait") << "query";
        QTest::newRow("programming run") << "run";
        QTest::newRow("Module State Apply") << "apply";
    }
    void lostLinkIsSaidOnceClearedAndRecovered() {
        QFETCH(QString, during);
        // The scan row meets a paced system that goes away after 20 of its 40 answers; the
        // apply row one that stops reading after the scan and a query; the run row 16 modules.
        const bool scan = during == "scan", apply = during == "apply", run = during == "run";
        const QByteArray system =
            testing_support::Chain(run ? 16 : 40, 'L',
                                   QByteArray("[system]\n") + (scan    ? "hangup_after_tx = 20\n"
                                                               : apply ? "stall_after_rx = 2\n"
                                                                       : ""));
        SimProcess sim(scan ? QStringList() : QStringList{"--no-pacing", "--log", "{dir}/f.log"},
                       scan || apply || run ? system : "");
        QVERIFY(sim.Start());
        AppRig r;
        r.StartOn(sim.LinkPath());
        // The real boxes, each opened as the program opens it: nothing waits for them.
        const MessageBoxFn box = MessageBoxes([&r] { return r.main.get(); });
        QList<bool> busyWhenTold;
        r.g.MsgBox = [&](const QString& text, MessageIcon icon, const QString& title) {
            r.messages << title + ": " + text;
            busyWhenTold << r.main->Link().Busy();
            box(text, icon, title);
        };
        QVERIFY(r.Refresh());
        frmBackground& bus = r.main->BusForm();
        QVERIFY(scan || r.g.Bus.ModuleCount == (apply ? 40 : run ? 16 : 6));
        if (during == "idle") {
            sim.Stop();
        } else if (during == "query") {
            r.g.Bus.AppendToOrder(999);  // nobody answers for it: the query waits
            bus.DrawModules();
            QTimer::singleShot(300, [&] { sim.Stop(); });
            bus.picModule_Click(6);
            QTRY_COMPARE(bus.windowTitle(), QString("Bus Info - connection lost"));
        } else if (run) {
            frmProgress& progress = r.main->ProgressForm();
            connect(progress.ProgressBar, &QProgressBar::valueChanged, [&](int sent) {
                if (sent == 3)
                    sim.Stop();
            });
            r.main->GlobalSettingsForm().cmdApply_Click();
            QTRY_COMPARE(progress.windowTitle(),
                         QString("Updateing modules...failed! sent 3 of 16, failed 13"));
            QCOMPARE(sim.LoggedFrames("f.log").filter(QRegularExpression("^53")).size(), 3);
        } else if (apply) {
            bus.picModule_Click(0);
            QVERIFY(r.Idle());
            // The line takes no more; the frame waits behind what fills the terminal.
            QVERIFY(r.port->Output(QByteArray(256 * 1024, '\0')));
            QTimer::singleShot(300, [&] { sim.Stop(); });
            r.main->ModuleStateForm().cmdApply_Click();
        }
        // Told once, after the exchange has ended, in a box the test closes.
        QTRY_COMPARE(r.OpenBoxes().size(), 1);
        QMessageBox* shown = r.OpenBoxes()[0];
        QCOMPARE(shown->windowTitle(), QString("Connection Error"));
        QVERIFY2(shown->text().startsWith("Connection lost on COM1 (" + sim.LinkPath() +
                                          "): the device went away"),
                 qPrintable(shown->text()));
        QVERIFY(!scan || shown->text().contains("\nThe scan stopped after"));
        QCOMPARE(busyWhenTold, QList<bool>{false});
        shown->accept();
        QTRY_VERIFY(r.OpenBoxes().isEmpty());
        QVERIFY(!r.main->Link().Port().PortOpen());
        QCOMPARE(int(r.g.Bus.ModuleCount), 0);  // no stale modules, nothing to apply to
        QVERIFY(bus.picModule.size() == 1 && !bus.picModule[0]->isVisible() &&
                !bus.lblPC->isVisible());
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled() &&
                !r.main->ModuleStateForm().cmdApply->isEnabled() &&
                !QGuiApplication::overrideCursor());  // however the wait ended
        const std::clock_t cpu = std::clock();
        QTest::qWait(1000);
        QVERIFY2(std::clock() - cpu < CLOCKS_PER_SEC / 4, "busy while the device is gone");
        QCOMPARE(r.messages.size(), 1);
        if (during != "idle")
            return;
        // Refresh says what keeps the port closed; with the device back it reconnects.
        QVERIFY(r.Refresh());
        QCOMPARE(r.messages.value(1),
                 "Connection Error: No Modules found! Check the serial "
                 "connection and try it again.\r\nCOM1 (" +
                     sim.LinkPath() + "): not found");
        QCOMPARE(int(r.g.Bus.MinVersion), 255);
        QVERIFY(sim.Start());
        QVERIFY(r.Refresh());
        QCOMPARE(bus.picModule.size(), std::size_t(6));
        QVERIFY(r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QCOMPARE(r.messages.size(), 2);
        for (QMessageBox* b : r.OpenBoxes())
            b->accept();
    }
};

int main(int argc, char** argv) {
    // A screen as the demo's, which has room for the first window the program wants.
    QTemporaryFile screen;
    if (screen.open() && screen.write(R"({"screens": [{"width": 1024, "height": 768}]})"))
        screen.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen.fileName()));
    QApplication app(argc, argv);
    TstStartup suite;
    return QTest::qExec(&suite, argc, argv);
}
#include "tst_startup.moc"

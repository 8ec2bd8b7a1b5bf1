// The program from start to exit, through its real windows, against the simulator.

#include <QtTest>

#include <ctime>

#include <QFileInfo>
#include <QMdiSubWindow>

#include "support/AppRig.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::AppRig;
using testing_support::SimProcess;

namespace {

bool CanOpen(const QString& device) {
    QtSerialComm probe;
    return probe.OpenDevice(device) == 0;
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

QRadioButton* Option(frmProgramSettings& w, int n) {
    return n == 1 ? w.optCom1 : n == 2 ? w.optCom2 : n == 3 ? w.optCom3 : w.optCom4;
}

}  // namespace

class TstStartup : public QObject {
    Q_OBJECT
  private slots:
    void settingsThatConfigureNoPort_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("debug");
        QTest::newRow("no settings file") << QByteArray() << false;
        QTest::newRow("comport 5") << QByteArray("[QUORVAL Setup Tool]\ncomport = 5\n") << false;
        QTest::newRow("comport 0") << QByteArray("[QUORVAL Setup Tool]\ncomport = 0\n") << false;
        QTest::newRow("comport 300, debug 2 does not stand in")
            << QByteArray("[QUORVAL Setup Tool]\ncomport = 300\ndebug = 2\n") << false;
        QTest::newRow("debug 73 without a port")
            << QByteArray("[QUORVAL Setup Tool]\ndebug = 73\n") << true;
        QTest::newRow("debug 73 written with junk")
            << QByteArray("[QUORVAL Setup Tool]\ndebug=73x\n") << true;
        QTest::newRow("other section") << QByteArray("[Setup]\ncomport = 1\ndebug = 73\n") << false;
        QTest::newRow("binary junk") << QByteArray("\x00\x01\x02\xff", 4) << false;
    }
    void settingsThatConfigureNoPort() {
        QFETCH(QByteArray, ini);
        QFETCH(bool, debug);
        AppRig r;
        if (!ini.isEmpty())
            r.WriteIni(ini);
        r.Start();
        QVERIFY(r.main->ExistingProgramSettingsForm());  // the port selection is offered
        QVERIFY(!r.main->Link().MSComm1().PortOpen());
        QCOMPARE(r.g.DebugEnabled, debug);
        QCOMPARE(r.main->mnuDebug->isVisible(), debug);
        QVERIFY(!r.main->mnuDebug->isChecked());
        QCOMPARE(r.Ini(), ini);  // nothing written until OK
    }

    void windowsArePlacedOnActivation() {
        AppRig r;
        r.WriteIni("[QUORVAL Setup Tool]\ncomport = 1\ncom1 = /nonexistent\n");
        r.Start();
        QVERIFY(!r.main->ExistingProgramSettingsForm());  // a port is configured, even if absent
        QVERIFY(!r.main->Link().MSComm1().PortOpen());
        QWidget* state = r.main->ModuleStateForm().parentWidget();
        QWidget* global = r.main->GlobalSettingsForm().parentWidget();
        QWidget* bus = r.main->BusForm().parentWidget();
        const QSize area = r.main->Area().size();
        QCOMPARE(state->pos(), QPoint(0, 0));
        QCOMPARE(global->pos(), QPoint(0, state->height()));
        QCOMPARE(bus->size(), QSize(area.width() / 2, int(area.height() * 0.75)));
        QCOMPARE(bus->pos(), QPoint(area.width() - bus->width(), 0));
        // In the platform's fonts the first window shows all three whole and apart.
        const QRect inside(QPoint(0, 0), area);
        for (const QWidget* w : {state, global, bus})
            QVERIFY(inside.contains(w->geometry()));
        QVERIFY(!state->geometry().intersects(global->geometry()));
        QVERIFY(!state->geometry().intersects(bus->geometry()));
        QVERIFY(!global->geometry().intersects(bus->geometry()));
        QVERIFY(r.main->width() >= 444 && r.main->height() >= 366);
        QCOMPARE(int(r.g.BusInfoWidth), qRound(area.width() * 0.5 * 15));
        QCOMPARE(r.main->windowTitle(), QString("QUORVAL Setup Tool"));
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QVERIFY(!r.main->ModuleStateForm().cmdApply->isEnabled());
        QCOMPARE(r.main->GlobalSettingsForm().cmbBaudrate->currentText(), QString("125 KBit/s"));
    }

    void portSelectionTestsEveryPort() {
        SimProcess free1, held, free4;
        QVERIFY(free1.Start() && held.Start() && free4.Start());
        QProcess holder;
        holder.start(QStringLiteral(PORTHOLD_PATH), {held.LinkPath()});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("open 0"));

        AppRig r;
        r.WriteIni("[QUORVAL Setup Tool]\ncom1 = " + free1.LinkPath().toLocal8Bit() +
                   "\ncom2 = " + held.LinkPath().toLocal8Bit() +
                   "\ncom3 = /nonexistent/tty\ncom4 = " + free4.LinkPath().toLocal8Bit() + "\n");
        r.Start();
        frmProgramSettings& w = r.main->ProgramSettingsForm();
        const QStringList captions{"COM1", "COM2 (in use)", "COM3 (not found)", "COM4"};
        const QList<bool> enabled{true, false, false, true};
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(Option(w, n)->text(), captions[n - 1]);
            QCOMPARE(Option(w, n)->isEnabled(), enabled[n - 1]);
            QVERIFY(!Option(w, n)->isChecked());
        }
        QCOMPARE(w.optCom1->toolTip(), free1.LinkPath());
        QVERIFY(!r.main->Link().MSComm1().PortOpen());  // every test closed again

        // On the round mark itself, where a technician clicks.
        QTest::mouseClick(w.optCom1, Qt::LeftButton, {}, QPoint(6, w.optCom1->height() / 2));
        QVERIFY(w.optCom1->isChecked());
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!r.main->ExistingProgramSettingsForm());
        QVERIFY(r.main->Link().MSComm1().PortOpen());
        QVERIFY(r.main->Link().Timer1.isActive());
        QVERIFY(r.Ini().contains("comport= 1"));
        QVERIFY(!CanOpen(free1.LinkPath()));  // ours now
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));

        // The next start opens it without asking.
        const QByteArray ini = r.Ini();
        r.main->close();
        QVERIFY(CanOpen(free1.LinkPath()));
        AppRig next;
        next.WriteIni(ini);
        next.Start();
        QVERIFY(!next.main->ExistingProgramSettingsForm());
        QVERIFY(next.main->Link().MSComm1().PortOpen());
        QCOMPARE(int(next.g.ComPort), 1);
    }

    void portChosenWhileConnectedIsThePortThatOpens() {
        SimProcess com1, com2;
        QVERIFY(com1.Start() && com2.Start());
        AppRig r;
        r.WriteIni(AppRig::UsePort(com1.LinkPath()) + "com2 = " + com2.LinkPath().toLocal8Bit() +
                   "   ; the spare adapter\n");
        r.Start();
        MSComm& port = r.main->Link().MSComm1();
        QVERIFY(port.PortOpen());
        r.main->mnuSelectCOMport->trigger();
        frmProgramSettings& w = r.main->ProgramSettingsForm();
        QCOMPARE(w.optCom1->text(), QString("COM1"));  // our own port tests as usable
        QVERIFY(w.optCom1->isEnabled() && w.optCom2->isEnabled());
        QVERIFY(!port.PortOpen());
        r.main->Form_Activate();  // back from another program: nothing reopens behind it
        QVERIFY(!port.PortOpen());
        // Closing with the close box keeps the port closed and the file as it was.
        const QByteArray before = r.Ini();
        w.parentWidget()->close();
        QTRY_VERIFY(!r.main->ExistingProgramSettingsForm());
        QVERIFY(!port.PortOpen());
        QCOMPARE(r.Ini(), before);

        r.main->mnuSelectCOMport->trigger();
        r.main->Form_Activate();
        r.main->ProgramSettingsForm().optCom2->setChecked(true);
        r.main->ProgramSettingsForm().cmdOK_Click();
        QVERIFY(port.PortOpen());
        QCOMPARE(port.CommPort(), 2);
        QVERIFY(CanOpen(com1.LinkPath()));
        QVERIFY(!CanOpen(com2.LinkPath()));
        QVERIFY(r.Ini().contains("comport = 2\n"));  // that line edited, the rest kept
        QCOMPARE(r.Ini().count("comport"), 1);
    }

    void choiceSurvivesAReadOnlyInstallFolder() {
        SimProcess com2;
        QVERIFY(com2.Start());
        AppRig r;
        r.WriteIni("; prepared for everyone\n[QUORVAL Setup Tool]\ncom2 = " +
                   com2.LinkPath().toLocal8Bit() + "\n");
        // Read-only for root too: the immutable flag.
        QFile::setPermissions(r.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QProcess::execute("chattr", {"+i", r.dir.path()});
        const auto unlock = qScopeGuard([&] {
            QProcess::execute("chattr", {"-i", r.dir.path()});
            QFile::setPermissions(r.dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (QFile probe(r.dir.filePath("probe")); probe.open(QIODevice::WriteOnly))
            QSKIP("this file system cannot make a folder read-only");
        r.Start();
        r.main->ProgramSettingsForm().optCom2->setChecked(true);
        r.main->ProgramSettingsForm().cmdOK_Click();
        QVERIFY(r.messages.isEmpty());
        QFile user(r.UserIniPath());
        QVERIFY(user.open(QIODevice::ReadOnly));
        QCOMPARE(user.readAll(), "; prepared for everyone\n[QUORVAL Setup Tool]\ncom2 = " +
                                     com2.LinkPath().toLocal8Bit() + "\ncomport= 2\n");
        // The next start opens the port chosen at the first, from the user's file.
        r.Restart();
        QVERIFY(!r.main->ExistingProgramSettingsForm());
        QVERIFY(r.main->Link().MSComm1().PortOpen());
        QCOMPARE(r.main->Link().MSComm1().CommPort(), 2);
        r.main->mnuAbout->trigger();
        QVERIFY(r.messages.value(0).endsWith("Settings: " + r.UserIniPath()));
    }

    void okWithoutAChoice() {
        AppRig r;
        r.WriteIni(
            "[QUORVAL Setup Tool]\ncom1 = /nonexistent/a\ncom2 = /nonexistent/b\n"
            "com3 = /nonexistent/c\ncom4 = /nonexistent/d\n");
        r.Start();
        frmProgramSettings& w = r.main->ProgramSettingsForm();
        QVERIFY(!w.optCom1->isEnabled() && !w.optCom4->isEnabled());
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
        QCOMPARE(r.messages, QStringList{"QUORVAL Setup Tool: No com port available!"});
        QVERIFY(r.Ini().contains("comport= 0"));
        QTRY_VERIFY(!r.main->ExistingProgramSettingsForm());
        QVERIFY(!r.main->Link().MSComm1().PortOpen());
    }

    void debugSwitchAndItsWindow() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        AppRig r;
        r.WriteIni(AppRig::UsePort(sim.LinkPath()) + "debug = 73\n");
        r.Start();
        QVERIFY(r.main->mnuDebug->isVisible());
        QVERIFY(r.g.DebugEnabled);
        r.main->mnuDebug->trigger();  // first click: stays on, opens the window
        QVERIFY(r.main->mnuDebug->isChecked());
        QVERIFY(r.g.DebugEnabled);
        QVERIFY(r.main->ExistingDebugForm());
        r.main->mnuRefresh_Click();
        QListWidget* list = r.main->DebugForm().lstDebugOutput;
        QVERIFY(list->count() >= 7);  // counts and one dump line per answer
        int dumps = 0;
        for (int i = 0; i < list->count(); ++i)
            dumps += list->item(i)->text().startsWith(' ');
        QCOMPARE(dumps, 6);
        r.main->mnuDebug->trigger();  // second click: off, the window stays
        QVERIFY(!r.main->mnuDebug->isChecked());
        QVERIFY(!r.g.DebugEnabled);
        QVERIFY(r.main->ExistingDebugForm());
        const int lines = list->count();
        r.main->mnuRefresh_Click();
        int newDumps = 0;
        for (int i = lines; i < list->count(); ++i)
            newDumps += list->item(i)->text().startsWith(' ');
        QCOMPARE(newDumps, 0);
    }

    void aboutNamesTheVersionAndTheSettingsFile() {
        AppRig r;
        r.Start();
        r.main->mnuAbout->trigger();
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].startsWith("About: QUORVAL Setup Tool Version 1.50\r\n\r\n"));
        QVERIFY(r.messages[0].endsWith("\r\n\r\nSettings: " + r.IniPath()));
    }

    void exitAndCloseLeaveNoPortOpen() {
        SimProcess sim;
        QVERIFY(sim.Start());
        {
            AppRig r;
            r.StartOn(sim.LinkPath());
            QVERIFY(r.main->Link().MSComm1().PortOpen());
            r.main->mnuExit->trigger();
            QCOMPARE(r.exits, 1);
            QVERIFY(!r.main->Link().Timer1.isActive());
            QVERIFY(!r.main->Link().MSComm1().PortOpen());
            QVERIFY(CanOpen(sim.LinkPath()));
        }
        AppRig r;
        r.StartOn(sim.LinkPath());
        QVERIFY(!CanOpen(sim.LinkPath()));
        r.main->close();
        QVERIFY(CanOpen(sim.LinkPath()));
    }

    // The adapter pulled (the simulator stopped) at each moment a technician meets it.
    void lostLinkIsSaidOnceClearedAndRecovered_data() {
        QTest::addColumn<QString>("during");
        QTest::newRow("idle window") << "idle";
        QTest::newRow("scan") << "scan";
        QTest::newRow("query wait") << "query";
        QTest::newRow("programming run") << "run";
    }
    void lostLinkIsSaidOnceClearedAndRecovered() {
        QFETCH(QString, during);
        QByteArray forty = "[system]\nhangup_after_tx = 20\n[module 1]\nside = G\n";
        for (int id = 2; id <= 40; ++id)
            forty += "[module " + QByteArray::number(id) + "]\nside = L\n";
        // The scan row meets a paced system that goes away after 20 of its 40 answers.
        SimProcess sim(during == "scan" ? QStringList() : QStringList{"--no-pacing"},
                       during == "scan" ? forty : QByteArray());
        QVERIFY(sim.Start());
        AppRig r;
        r.StartOn(sim.LinkPath());
        r.main->mnuRefresh_Click();
        frmBackground& bus = r.main->BusForm();
        if (during == "scan") {
            QTRY_COMPARE(r.messages.size(), 1);
            QVERIFY2(r.messages[0].contains("The scan stopped after"), qPrintable(r.messages[0]));
        } else {
            QCOMPARE(int(r.g.Bus.ModuleCount), 6);
        }
        if (during == "idle") {
            sim.Stop();
        } else if (during == "query") {
            r.g.Bus.AppendToOrder(999);  // nobody answers for it: the query waits
            bus.DrawModules();
            QTimer::singleShot(300, [&] { sim.Stop(); });
            bus.picModule_Click(6);
            QCOMPARE(bus.windowTitle(), QString("Bus Info - connection lost"));
        } else if (during == "run") {
            frmProgress& progress = r.main->ProgressForm();
            connect(progress.ProgressBar, &QProgressBar::valueChanged, [&](int sent) {
                if (sent == 2)
                    sim.Stop();
            });
            r.main->GlobalSettingsForm().cmdApply_Click();
            QCOMPARE(progress.windowTitle(),
                     QString("Updateing modules...failed! sent 2 of 6, failed 4"));
        }
        QTRY_COMPARE(r.messages.size(), 1);
        QVERIFY2(r.messages[0].startsWith("Connection Error: Connection lost on COM1 (" +
                                          sim.LinkPath() + "): the device went away"),
                 qPrintable(r.messages[0]));
        QVERIFY(!r.main->Link().MSComm1().PortOpen());
        QCOMPARE(int(r.g.Bus.ModuleCount), 0);  // no stale modules, nothing to apply to
        QCOMPARE(bus.picModule.size(), std::size_t(1));
        QVERIFY(!bus.picModule[0]->isVisible() && !bus.lblPC->isVisible());
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QVERIFY(!r.main->ModuleStateForm().cmdApply->isEnabled());
        const double cpu = CpuSeconds();
        QTest::qWait(1000);
        QVERIFY2(CpuSeconds() - cpu < 0.3, "busy while the device is gone");
        QCOMPARE(r.messages.size(), 1);
        if (during != "idle")
            return;
        // Refresh says what keeps the port closed; with the device back it reconnects.
        r.main->mnuRefresh_Click();
        QCOMPARE(r.messages.value(1),
                 "Connection Error: No Modules found! Check the serial "
                 "connection and try it again.\r\nCOM1 (" +
                     sim.LinkPath() + "): not found");
        QVERIFY(sim.Start());
        r.main->mnuRefresh_Click();
        QCOMPARE(int(r.g.Bus.ModuleCount), 6);
        QCOMPARE(bus.picModule.size(), std::size_t(6));
        QVERIFY(r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QCOMPARE(r.messages.size(), 2);
    }

    void wholeSessionReachesTheModules() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/frames.log"});
        QVERIFY(sim.Start());
        AppRig r;
        r.StartOn(sim.LinkPath());
        r.main->mnuRefresh->trigger();
        QCOMPARE(int(r.g.Bus.ModuleCount), 6);
        frmBackground& bus = r.main->BusForm();
        QCOMPARE(bus.picModule.size(), std::size_t(6));
        QTest::mouseClick(bus.picModule[2], Qt::LeftButton);
        QTRY_COMPARE(bus.windowTitle(), QString("Bus Info - module found!"));
        QTest::mouseClick(r.main->ModuleStateForm().cmdApply, Qt::LeftButton);
        QTest::mouseClick(r.main->GlobalSettingsForm().cmdApply, Qt::LeftButton);
        QCOMPARE(r.main->ProgressForm().windowTitle(), QString("Updateing modules...ready!"));
        // One from the dialog, six from the run.
        QTRY_COMPARE_WITH_TIMEOUT(
            sim.LoggedFrames("frames.log").filter(QRegularExpression("^53")).size(), 7, 5000);
        QVERIFY(r.messages.isEmpty());
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"

// Refresh and the programming run in the main window, against the simulator.

#include <QtTest>

#include "link/CommandFrame.h"
#include "support/AppRig.h"
#include "support/SimProcess.h"
#include "ui/MessageBoxes.h"

using namespace quorval;
using testing_support::SimProcess;

namespace {

// 1 attached; left 11, 12, 13; right 21, 22.
const QByteArray kSix =
    "[module 1]\nside = G\nversion = 34\n[module 11]\nside = L\n[module 21]\nside = R\n"
    "[module 12]\nside = L\n[module 22]\nside = R\n[module 13]\nside = L\n";

QString Frame(const char* letter, int id, int mode) {
    return QStringLiteral("%1 %2 %3 %4 0A 0D 00")
        .arg(letter)
        .arg(id % 256, 2, 16, QLatin1Char('0'))
        .arg(id / 256, 2, 16, QLatin1Char('0'))
        .arg(mode, 2, 16, QLatin1Char('0'))
        .toUpper();
}

}  // namespace

class TstProgramming : public QObject {
    Q_OBJECT
  private slots:
    // An impatient technician: every command, given while an exchange waits on the line, is
    // turned away or (About) shown in a box that lets the exchange go on beneath it.
    void everyCommandDuringEveryExchangeIsTurnedAway_data() {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QStringList>("frames");  // what the exchange itself sends
        QStringList run;
        for (int id : {2, 3, 4, 5, 6, 7, 8, 1})
            run << Frame("53", id, 0x05);
        QTest::newRow("scan") << "scan" << QStringList{"47 00 00 00 0A 0D 00"};
        QTest::newRow("query") << "query" << QStringList{Frame("50", 1, 0)};
        QTest::newRow("Module State Apply") << "apply" << QStringList{Frame("53", 8, 0x35)};
        QTest::newRow("programming run") << "run" << run;
        QTest::newRow("port test") << "ports" << QStringList();
    }
    void everyCommandDuringEveryExchangeIsTurnedAway() {
        QFETCH(QString, exchange);
        QFETCH(QStringList, frames);
        SimProcess sim({"--log", "{dir}/f.log"}, testing_support::Chain(8, 'L'));
        QVERIFY(sim.Start());
        testing_support::AppRig r;
        r.StartOn(sim.LinkPath());
        r.g.MsgBox = MessageBoxes([&r] { return r.main.get(); });  // real boxes
        frmMain& m = *r.main;
        frmGlobalSettings& gs = m.GlobalSettingsForm();
        frmBackground& bus = m.BusForm();
        frmModuleState& state = m.ModuleStateForm();
        QVERIFY(r.Refresh());
        QCOMPARE(bus.picModule.size(), std::size_t(8));
        bus.picModule_Click(7);  // module 8: the state dialog has a module to apply to
        QVERIFY(r.Idle());
        state.cmbErrorRelais->setCurrentIndex(3);
        const int before = int(sim.LoggedFrames("f.log").size());

        if (exchange == "scan")
            m.mnuRefresh_Click();
        else if (exchange == "query")
            bus.picModule_Click(0);
        else if (exchange == "apply")
            state.cmdApply_Click();
        else if (exchange == "run")
            gs.cmdApply_Click();
        else
            m.mnuSelectCOMport_Click();
        QVERIFY(m.Link().Busy());
        // What is offered: Refresh and the port choice, both Apply, Exit and About; the cursor.
        const auto offeredNow = [&] {
            const QCursor* c = QGuiApplication::overrideCursor();
            return QList<int>{m.mnuRefresh->isEnabled() + m.mnuSelectCOMport->isEnabled(),
                              gs.cmdApply->isEnabled() + state.cmdApply->isEnabled(),
                              m.mnuExit->isEnabled() + m.mnuAbout->isEnabled(),
                              c && c->shape() == Qt::BusyCursor};
        };
        QCOMPARE(offeredNow(), (QList<int>{0, 0, 2, 1}));
        // As a key or a click on what is still on screen would give them.
        m.mnuRefresh_Click();
        bus.picModule_Click(1);
        state.cmdApply_Click();
        gs.cmdApply_Click();
        m.mnuSelectCOMport_Click();
        if (frmProgramSettings* ports = m.ExistingProgramSettingsForm()) {
            ports->optCom1->setChecked(true);
            ports->cmdOK_Click();
        }
        m.mnuAbout_Click();
        QVERIFY(r.Idle());  // beneath the About box

        if (exchange == "scan")
            QCOMPARE(bus.picModule.size(), std::size_t(8));
        else if (exchange == "query")
            QCOMPARE(bus.windowTitle(), QString("Bus Info - module found!"));
        else if (exchange == "apply")
            QCOMPARE(state.txtMode->text(), QString("00110101"));
        else if (exchange == "run")
            QCOMPARE(m.ProgressForm().windowTitle(), QString("Updateing modules...ready!"));
        else
            QVERIFY(m.ProgramSettingsForm().optCom1->isEnabled() && !m.Link().Port().PortOpen());
        // Anything a command sent left before the exchange's last frame.
        QTRY_VERIFY(sim.LoggedFrames("f.log").size() >= before + frames.size());
        QCOMPARE(sim.LoggedFrames("f.log").mid(before), frames);
        const QList<QMessageBox*> boxes = r.OpenBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->windowTitle(), QString("About"));
        boxes[0]->accept();
        QTRY_VERIFY(!boxes[0]->isVisible());
        if (exchange != "ports")
            QCOMPARE(offeredNow(), (QList<int>{2, 2, 2, 0}));
    }

    // A system with a module of another make: nothing of the last ring stays on screen or
    // programmable.
    void foreignSystemLeavesNothingToProgram() {
        QByteArray first = "[module 1]\nside = G\n[module 2]\nside = R\nversion = 12\n";
        QByteArray second =
            "[module 1]\nside = G\nversion = 52\n[module 99]\nside = L\nversion = 45\n";
        SimProcess com1({"--no-pacing"}, first), com2({"--log", "{dir}/f.log"}, second);
        QVERIFY(com1.Start() && com2.Start());
        testing_support::AppRig r;
        r.WriteIni(r.UsePort(com1.LinkPath()) + "com2 = " + com2.LinkPath().toLocal8Bit() + "\n");
        r.Start();
        frmMain& m = *r.main;
        frmGlobalSettings& gs = m.GlobalSettingsForm();
        frmBackground& bus = m.BusForm();
        QVERIFY(r.Refresh());
        QCOMPARE(bus.picModule.size(), std::size_t(2));
        m.mnuSelectCOMport->trigger();
        QVERIFY(r.Idle());
        m.ProgramSettingsForm().optCom2->setChecked(true);
        m.ProgramSettingsForm().cmdOK_Click();
        QVERIFY(r.Refresh());
        QCOMPARE(r.messages.last(),
                 QString("Warning!: LWL-System contains a none-QUORVAL "
                         "module!\r\nPlease remove those modules and try again!"));
        QVERIFY(!bus.picModule[0]->isVisible() && bus.picModule.size() == 1);  // cleared
        QVERIFY(!gs.cmdApply->isEnabled() && !m.ModuleStateForm().cmdApply->isEnabled());
        gs.cmdApply_Click();  // even when called: nothing of it to program
        QVERIFY(r.messages.last().contains("No modules to program"));
        QVERIFY(com2.LoggedFrames("f.log").filter(QRegularExpression("^5")).isEmpty());
    }

    // Closed in the middle of a run, the window takes the run with it: nothing is sent after.
    void closingTheWindowStopsARun() {
        SimProcess sim({"--log", "{dir}/f.log"}, testing_support::Chain(16, 'R'));
        QVERIFY(sim.Start());
        testing_support::AppRig r;
        r.StartOn(sim.LinkPath());
        QVERIFY(r.Refresh());
        frmProgress& p = r.main->ProgressForm();
        connect(p.ProgressBar, &QProgressBar::valueChanged, [&](int sent) {
            if (sent == 3)
                r.main->close();
        });
        r.main->GlobalSettingsForm().cmdApply_Click();
        QVERIFY(r.Idle());
        QCOMPARE(p.windowTitle(),
                 QString("Updateing modules...failed! sent 3 of 16, failed 0, interrupted"));
        // A frame of our own after it: nothing of the run comes between.
        QtSerialComm probe;
        QCOMPARE(probe.OpenDevice(sim.LinkPath()), 0);
        QVERIFY(WriteFrame(probe, BuildCommandFrame(kCmdScan, 0, 0, 0)));
        QTRY_COMPARE(sim.LoggedFrames("f.log").value(1 + 3), QString("47 00 00 00 0A 0D 00"));
        QCOMPARE(sim.LoggedFrames("f.log").size(), 1 + 3 + 1);
    }

    void runsProgramTheScannedModulesAscendingAttachedLastAgainAndAgain() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/f.log"}, kSix);
        QVERIFY(sim.Start());
        testing_support::AppRig r;
        r.StartOn(sim.LinkPath());
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        QVERIFY(r.Refresh());
        // The attached module's report shows: line or ring, 11 bit, relay 0, 125 kBit/s.
        QVERIFY(gs.optNetworkTopologieLineOrRing->isChecked() &&
                gs.optCANIdentifier11Bit->isChecked());
        QCOMPARE(gs.cmbErrorRelais->currentText(), QString("CH1_Error AND CH2_Error"));
        QCOMPARE(gs.cmbBaudrate->currentText(), QString("125 KBit/s"));
        r.g.Bus.Modules(77).SetModuleID(77);  // a record of an earlier scan
        gs.SelectBaudrate("250 KBit/s");
        gs.cmbErrorRelais->setCurrentText("CH1_Error OR CH2_Error");
        QTest::mouseClick(gs.cmdApply, Qt::LeftButton);
        QVERIFY(r.Idle());
        frmProgress& p = r.main->ProgressForm();
        QCOMPARE(p.windowTitle(), QString("Updateing modules...ready!"));
        QCOMPARE(p.ProgressBar->value(), 6);
        QCOMPARE(p.ProgressBar->maximum(), 6);
        QVERIFY(p.cmdOK->isEnabled());
        // The next run, stored in the EEPROM, reuses the window with its range set afresh.
        gs.chkWriteToEEPROM->setChecked(true);
        gs.cmdApply_Click();
        QVERIFY(r.Idle());
        QCOMPARE(p.windowTitle(), QString("Programming modules...ready!"));
        QVERIFY(r.Refresh());  // everything sent before it has reached the simulator
        QStringList expected;
        for (const char* letter : {"53", "57"})
            for (int id : {11, 12, 13, 21, 22, 1})
                expected << Frame(letter, id, 0x26);
        QCOMPARE(sim.LoggedFrames("f.log").filter(QRegularExpression("^5[37]")), expected);
        for (int id : {1, 11, 12, 13, 21, 22})
            QCOMPARE(int(r.g.Bus.Modules(id).GetMode()), 0x26);  // the modules took it
        QTest::mouseClick(p.cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!r.main->ExistingProgressForm());
    }
};

QTEST_MAIN(TstProgramming)
#include "tst_programming.moc"

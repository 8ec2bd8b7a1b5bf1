// Refresh and the programming run in the main window, against the simulator.

#include <QtTest>

#include "support/AppRig.h"
#include "support/SimProcess.h"

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
    // The first system has an old module; the second, reached on COM2, one of another
    // make that answers last. Each scan judges only what it found.
    void twoScansOfTwoSystemsInARow() {
        QByteArray first = "[module 1]\nside = G\n[module 2]\nside = R\nversion = 12\n";
        for (int i = 3; i <= 16; ++i)
            first += "[module " + QByteArray::number(i) + "]\nside = L\n";
        QByteArray second = "[module 1]\nside = G\nversion = 52\n";
        for (int i = 2; i <= 12; ++i)
            second += "[module " + QByteArray::number(i) + "]\nside = L\nversion = 52\n";
        second += "[module 99]\nside = L\nversion = 45\n";
        SimProcess com1({}, first), com2({}, second);
        QVERIFY(com1.Start() && com2.Start());
        testing_support::AppRig r;
        r.WriteIni(r.UsePort(com1.LinkPath()) + "com2 = " + com2.LinkPath().toLocal8Bit() + "\n");
        r.Start();
        r.main->mnuRefresh_Click();  // paced: the scan settles on all sixteen
        QCOMPARE(r.main->BusForm().picModule.size(), std::size_t(16));
        QVERIFY(r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QVERIFY(!r.main->GlobalSettingsForm().optCANIdentifier29Bit->isEnabled());  // firmware 1.2
        r.main->mnuSelectCOMport->trigger();
        r.main->ProgramSettingsForm().optCom2->setChecked(true);
        r.main->ProgramSettingsForm().cmdOK_Click();
        r.main->mnuRefresh_Click();
        QCOMPARE(r.messages, QStringList{"Warning!: LWL-System contains a none-QUORVAL module!\r\n"
                                         "Please remove those modules and try again!"});
        QCOMPARE(int(r.g.Bus.MinVersion), 45);
        QCOMPARE(r.main->BusForm().picModule.size(), std::size_t(16));  // not redrawn
    }

    void runsProgramTheScannedModulesAscendingAttachedLastAgainAndAgain() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/f.log"}, kSix);
        QVERIFY(sim.Start());
        testing_support::AppRig r;
        r.StartOn(sim.LinkPath());
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        gs.cmdApply_Click();  // nothing scanned yet: nothing to program
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].contains("No modules to program"));
        QVERIFY(!r.main->ExistingProgressForm());
        r.main->mnuRefresh_Click();
        // The attached module's report shows: line or ring, 11 bit, relay 0, 125 kBit/s.
        QVERIFY(gs.optNetworkTopologieLineOrRing->isChecked() &&
                gs.optCANIdentifier11Bit->isChecked());
        QCOMPARE(gs.cmbErrorRelais->currentText(), QString("CH1_Error AND CH2_Error"));
        QCOMPARE(gs.cmbBaudrate->currentText(), QString("125 KBit/s"));
        r.g.Bus.Modules(77).SetModuleID(77);  // a record of an earlier scan
        gs.SelectBaudrate("250 KBit/s");
        gs.cmbErrorRelais->setCurrentText("CH1_Error OR CH2_Error");
        // A second Apply while the run goes on does not start another.
        QTimer::singleShot(0, [&] { QTest::mouseClick(gs.cmdApply, Qt::LeftButton); });
        QTest::mouseClick(gs.cmdApply, Qt::LeftButton);
        frmProgress& p = r.main->ProgressForm();
        QCOMPARE(p.windowTitle(), QString("Updateing modules...ready!"));
        QCOMPARE(p.ProgressBar->value(), 6);
        QCOMPARE(p.ProgressBar->maximum(), 6);
        QVERIFY(p.cmdOK->isEnabled());
        // The next run, stored in the EEPROM, reuses the window with its range set afresh.
        gs.chkWriteToEEPROM->setChecked(true);
        gs.cmdApply_Click();
        QCOMPARE(p.windowTitle(), QString("Programming modules...ready!"));
        r.main->mnuRefresh_Click();  // everything sent before it has reached the simulator
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

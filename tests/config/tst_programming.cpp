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
    // An impatient technician: nothing starts while the line is busy. Then a system with a
    // module of another make: nothing of the last ring stays on screen or programmable.
    void oneExchangeAtATimeAndNothingStaleToProgram() {
        QByteArray first = "[module 1]\nside = G\n[module 2]\nside = R\nversion = 12\n";
        for (int i = 3; i <= 16; ++i)
            first += "[module " + QByteArray::number(i) + "]\nside = L\n";
        QByteArray second =
            "[module 1]\nside = G\nversion = 52\n[module 99]\nside = L\nversion = 45\n";
        SimProcess com1({"--log", "{dir}/f.log"}, first), com2({"--log", "{dir}/f.log"}, second);
        QVERIFY(com1.Start() && com2.Start());
        testing_support::AppRig r;
        r.WriteIni(r.UsePort(com1.LinkPath()) + "com2 = " + com2.LinkPath().toLocal8Bit() + "\n");
        r.Start();
        frmMain& m = *r.main;
        frmGlobalSettings& gs = m.GlobalSettingsForm();
        frmBackground& bus = m.BusForm();
        m.mnuRefresh_Click();  // paced: the scan settles on all sixteen
        QCOMPARE(bus.picModule.size(), std::size_t(16));
        // Offered of Refresh and port choice, of both Apply, of Exit and About; busy cursor.
        const auto offeredNow = [&] {
            const QCursor* c = QGuiApplication::overrideCursor();
            return QList<int>{m.mnuRefresh->isEnabled() + m.mnuSelectCOMport->isEnabled(),
                              gs.cmdApply->isEnabled() + m.ModuleStateForm().cmdApply->isEnabled(),
                              m.mnuExit->isEnabled() + m.mnuAbout->isEnabled(),
                              c && c->shape() == Qt::BusyCursor};
        };
        QList<int> offered;
        const auto meddle = [&] {
            offered = offeredNow();
            m.mnuRefresh->trigger();
            QTest::mouseClick(gs.cmdApply, Qt::LeftButton);
            QTest::mouseClick(bus.picModule[3], Qt::LeftButton);
            m.mnuAbout->trigger();
        };
        const QList<int> whileBusy{0, 0, 2, 1};
        QTimer::singleShot(150, meddle);
        m.mnuRefresh->trigger();
        QCOMPARE(offered, whileBusy);
        connect(m.ProgressForm().ProgressBar, &QProgressBar::valueChanged, [&](int sent) {
            if (sent == 2)
                meddle();
        });
        gs.cmdApply_Click();
        QCOMPARE(offered, whileBusy);
        QCOMPARE(m.ProgressForm().windowTitle(), QString("Updateing modules...ready!"));
        QTRY_COMPARE(com1.LoggedFrames("f.log").size(), 18);
        const QStringList frames = com1.LoggedFrames("f.log");
        QCOMPARE(frames.mid(0, 2), QStringList(2, "47 00 00 00 0A 0D 00"));    // no scan inside
        QCOMPARE(frames.mid(2).filter(QRegularExpression("^53")).size(), 16);  // nothing between
        QCOMPARE(r.messages, QStringList(2, "About: " + m.AboutText()));
        QCOMPARE(offeredNow(), (QList<int>{2, 2, 2, 0}));

        m.mnuSelectCOMport->trigger();
        m.ProgramSettingsForm().optCom2->setChecked(true);
        m.ProgramSettingsForm().cmdOK_Click();
        m.mnuRefresh_Click();
        QCOMPARE(r.messages.last(),
                 QString("Warning!: LWL-System contains a none-QUORVAL "
                         "module!\r\nPlease remove those modules and try again!"));
        QVERIFY(!bus.picModule[0]->isVisible() && bus.picModule.size() == 1);  // cleared
        QVERIFY(!gs.cmdApply->isEnabled() && !m.ModuleStateForm().cmdApply->isEnabled());
        gs.cmdApply_Click();  // even when called: nothing of it to program
        QVERIFY(r.messages.last().contains("No modules to program"));
        QVERIFY(com2.LoggedFrames("f.log").filter(QRegularExpression("^5")).isEmpty());
    }

    void runsProgramTheScannedModulesAscendingAttachedLastAgainAndAgain() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/f.log"}, kSix);
        QVERIFY(sim.Start());
        testing_support::AppRig r;
        r.StartOn(sim.LinkPath());
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        r.main->mnuRefresh_Click();
        // The attached module's report shows: line or ring, 11 bit, relay 0, 125 kBit/s.
        QVERIFY(gs.optNetworkTopologieLineOrRing->isChecked() &&
                gs.optCANIdentifier11Bit->isChecked());
        QCOMPARE(gs.cmbErrorRelais->currentText(), QString("CH1_Error AND CH2_Error"));
        QCOMPARE(gs.cmbBaudrate->currentText(), QString("125 KBit/s"));
        r.g.Bus.Modules(77).SetModuleID(77);  // a record of an earlier scan
        gs.SelectBaudrate("250 KBit/s");
        gs.cmbErrorRelais->setCurrentText("CH1_Error OR CH2_Error");
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

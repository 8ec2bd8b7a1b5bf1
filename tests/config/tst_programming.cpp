// Refresh and the programming run in the main window, against the simulator.

#include <QtTest>

#include "common/EventYield.h"
#include "common/Global.h"
#include "link/QtSerialComm.h"
#include "shell/frmMain.h"
#include "support/AppRig.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::SimProcess;

namespace {

// 1 attached; left 11, 12, 13; right 21, 22.
const QByteArray kSix =
    "[module 1]\nside = G\nversion = 34\n[module 11]\nside = L\n[module 21]\nside = R\n"
    "[module 12]\nside = L\n[module 22]\nside = R\n[module 13]\nside = L\n";

struct Rig : testing_support::AppRig {
    std::unique_ptr<SimProcess> sim;

    explicit Rig(const QByteArray& system, QStringList args = {"--no-pacing"}) {
        args << "--log"
             << "{dir}/frames.log";
        sim = std::make_unique<SimProcess>(args, system);
    }
    bool Start() {
        if (!sim->Start())
            return false;
        StartOn(sim->LinkPath());
        return main->Link().MSComm1().PortOpen();
    }
    QStringList Received(const QString& letter) {
        return sim->LoggedFrames("frames.log").filter(QRegularExpression("^" + letter));
    }
    QList<int> Order() const {
        QList<int> ids;
        for (int i = 0; i < g.Bus.ModuleCount; ++i)
            ids << g.Bus.ModuleOrder(i);
        return ids;
    }
};

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
    void refreshSettlesOnAPacedSystemOfSixteen() {
        QByteArray ini = "[module 1]\nside = G\n";
        for (int i = 2; i <= 16; ++i) {
            ini += "[module " + QByteArray::number(i) + "]\nside = " + (i % 2 ? "R" : "L") + "\n";
        }
        Rig r(ini, {});
        QVERIFY(r.Start());
        r.main->mnuRefresh_Click();
        QCOMPARE(int(r.g.Bus.ModuleCount), 16);
        QCOMPARE(r.main->BusForm().picModule.size(), std::size_t(16));
        QVERIFY(r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QVERIFY(r.main->ModuleStateForm().cmdApply->isEnabled());
        QVERIFY(r.messages.isEmpty());
    }

    void foreignModuleAnsweringLastIsStillCaught() {
        QByteArray ini = "[module 1]\nside = G\nversion = 52\n";
        for (int i = 2; i <= 12; ++i) {
            ini += "[module " + QByteArray::number(i) + "]\nside = L\nversion = 52\n";
        }
        ini += "[module 99]\nside = L\nversion = 45\n";  // the farthest: answers last
        Rig r(ini, {});
        QVERIFY(r.Start());
        r.main->BusForm();
        r.main->mnuRefresh_Click();
        QCOMPARE(r.messages, QStringList{"Warning!: LWL-System contains a none-QUORVAL module!\r\n"
                                         "Please remove those modules and try again!"});
        QCOMPARE(r.main->BusForm().picModule.size(), std::size_t(1));  // not redrawn
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled());
        QCOMPARE(int(r.g.Bus.MinVersion), 45);
    }

    void noAnswerIsReportedAfterTwoSeconds() {
        Rig r("[module 1]\nside = G\nanswers = 0\n");
        QVERIFY(r.Start());
        QElapsedTimer t;
        t.start();
        r.main->mnuRefresh_Click();
        QVERIFY(t.elapsed() >= 1900);
        QCOMPARE(r.messages, QStringList{"Connection Error: No Modules found! Check the serial "
                                         "connection and try it again."});
        QCOMPARE(int(r.g.Bus.ModuleCount), 0);
        QCOMPARE(int(r.g.Bus.MinVersion), 255);
        QVERIFY(!r.main->GlobalSettingsForm().cmdApply->isEnabled());
    }

    void runProgramsTheScannedModulesAscendingAttachedLast() {
        Rig r(kSix);
        QVERIFY(r.Start());
        r.main->mnuRefresh_Click();
        QCOMPARE(r.Order(), (QList<int>{1, 11, 12, 13, 22, 21}));
        r.g.Bus.Modules(77).SetModuleID(77);  // a record of an earlier scan
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        gs.SelectBaudrate("250 KBit/s");
        gs.cmbErrorRelais->setCurrentText("CH1_Error OR CH2_Error");
        QTest::mouseClick(gs.cmdApply, Qt::LeftButton);
        frmProgress& p = r.main->ProgressForm();
        QCOMPARE(p.windowTitle(), QString("Updateing modules...ready!"));
        QCOMPARE(p.ProgressBar->maximum(), 6);
        QCOMPARE(p.ProgressBar->value(), 6);
        QVERIFY(p.cmdOK->isEnabled());
        const int mode = 0x26;
        QTRY_COMPARE_WITH_TIMEOUT(
            r.Received("53"),
            (QStringList{Frame("53", 11, mode), Frame("53", 12, mode), Frame("53", 13, mode),
                         Frame("53", 21, mode), Frame("53", 22, mode), Frame("53", 1, mode)}),
            5000);
        // The modules took it.
        r.main->mnuRefresh_Click();
        for (int id : {1, 11, 12, 13, 21, 22})
            QCOMPARE(int(r.g.Bus.Modules(id).GetMode()), mode);
    }

    void writtenSettingsSurviveARestart() {
        QTemporaryDir dir;
        const QString eeprom = dir.filePath("eeprom.ini");
        {
            Rig r(kSix, {"--no-pacing", "--eeprom", eeprom});
            QVERIFY(r.Start());
            r.main->mnuRefresh_Click();
            frmGlobalSettings& gs = r.main->GlobalSettingsForm();
            gs.chkWriteToEEPROM->setChecked(true);
            gs.SelectBaudrate("500 KBit/s");
            gs.cmdApply_Click();
            QCOMPARE(r.main->ProgressForm().windowTitle(), QString("Programming modules...ready!"));
            QTRY_COMPARE_WITH_TIMEOUT(r.Received("57").size(), 6, 5000);
        }
        Rig again(kSix, {"--no-pacing", "--eeprom", eeprom});
        QVERIFY(again.Start());
        again.main->mnuRefresh_Click();
        QCOMPARE(int(again.g.Bus.ModuleCount), 6);
        for (int id : {1, 11, 12, 13, 21, 22}) {
            // Point to point, the relay logic the attached module reported (0), 500 kBit/s.
            QCOMPARE(int(again.g.Bus.Modules(id).GetMode()), 0x87);
        }
    }

    void nothingFoundMeansNothingSent() {
        Rig r(kSix);
        QVERIFY(r.Start());
        r.main->GlobalSettingsForm().cmdApply_Click();
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].contains("No modules to program"));
        QVERIFY(!r.main->ExistingProgressForm());
        QVERIFY(r.Received("53").isEmpty());
    }

    void applyDuringARunDoesNotStartASecond() {
        Rig r(kSix);
        QVERIFY(r.Start());
        r.main->mnuRefresh_Click();
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        bool wasRunning = false;
        QTimer::singleShot(0, [&] {
            wasRunning = gs.Running();
            QTest::mouseClick(gs.cmdApply, Qt::LeftButton);
        });
        gs.cmdApply_Click();
        QVERIFY(wasRunning);
        QTRY_COMPARE_WITH_TIMEOUT(r.Received("53").size(), 6, 5000);
        QTest::qWait(200);  // a second run would have followed at once
        QCOMPARE(r.Received("53").size(), 6);
    }

    void attachedModuleReportShowsInTheDialog() {
        Rig r("[module 1]\nside = G\nversion = 34\nmode = 0x00\n[module 2]\nside = L\n");
        QVERIFY(r.Start());
        r.main->mnuRefresh_Click();
        frmGlobalSettings& gs = r.main->GlobalSettingsForm();
        QVERIFY(gs.optNetworkTopologieLineOrRing->isChecked());
        QVERIFY(gs.optCANIdentifier11Bit->isChecked());
        QCOMPARE(gs.cmbErrorRelais->currentText(), QString("CH1_Error AND CH2_Error"));
        QCOMPARE(gs.cmbBaudrate->currentText(), QString("125 KBit/s"));
    }
};

QTEST_MAIN(TstProgramming)
#include "tst_programming.moc"

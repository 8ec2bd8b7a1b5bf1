// The bus view and the module state dialog in a main window, against the simulator.

#include <QtTest>

#include "common/EventYield.h"
#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/QtSerialComm.h"
#include "shell/frmMain.h"
#include "support/AppRig.h"
#include "support/SimProcess.h"
#include "view/ModuleImages.h"

using namespace quorval;
using testing_support::SimProcess;

namespace {

// Attached 300, then 301 (left), 302 (right, channel 1 in error), 303 (left).
const QByteArray kSystem =
    "[module 300]\nside = G\nversion = 12\nmode = 0xA5\nch1_count = 4\nch2_count = 9\n"
    "[module 301]\nside = L\n"
    "[module 303]\nside = L\nch2_error = 1\nch2_count = 77\n"
    "[module 302]\nside = R\nch1_error = 1\n";

struct Rig : testing_support::AppRig {
    std::unique_ptr<SimProcess> sim = std::make_unique<SimProcess>(
        QStringList{"--no-pacing", "--log", "{dir}/frames.log"}, kSystem);

    bool Start() {
        if (!sim->Start())
            return false;
        StartOn(sim->LinkPath());
        return main->Link().MSComm1().PortOpen();
    }
    bool Scan(int expected) {
        main->mnuRefresh_Click();
        return g.Bus.ModuleCount == expected;
    }
    QStringList Received() { return sim->LoggedFrames("frames.log"); }
    QList<int> Images() {
        QList<int> out;
        for (auto* p : main->BusForm().picModule)
            out << p->ImageIndex();
        return out;
    }
};

}  // namespace

class TstBusView : public QObject {
    Q_OBJECT
  private slots:
    void drawingFollowsTheTable() {
        Rig r;
        QVERIFY(r.Start());
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        QCOMPARE(bus.picModule.size(), std::size_t(1));  // nothing found yet: an empty window
        QVERIFY(!bus.picModule[0]->isVisible());
        QVERIFY(!bus.lblPC->isVisible());
        QVERIFY(bus.Arcs().empty());

        QVERIFY(r.Scan(4));
        bus.DrawModules();
        QCOMPARE(bus.picModule.size(), std::size_t(4));
        QCOMPARE(r.Images(), (QList<int>{1, 1, 3, 2}));  // order 300, 301, 303, 302
        // Top, left, bottom, right.
        const auto* p = bus.picModule.data();
        QVERIFY(p[0]->y() < p[1]->y() && p[1]->x() < p[2]->x() && p[2]->y() > p[3]->y());
        QVERIFY(p[3]->x() > p[2]->x());
        QCOMPARE(bus.lblPC->pos(), QPoint(p[0]->x(), p[0]->y() + p[0]->height()));
        QVERIFY(bus.lblPC->isVisible());
        // Links: 303 and 302 both report errors, so the link between them is red.
        int red = 0;
        for (const auto& a : bus.Arcs())
            red += a.color == frmBackground::kRed;
        QCOMPARE(bus.Arcs().size(), std::size_t(8));
        QCOMPARE(red, 2);  // drawn twice: as 303's next link and as 302's previous link

        r.g.Bus.ModuleCount = 1;  // fewer modules: no stale pictures
        bus.DrawModules();
        QCOMPARE(bus.picModule.size(), std::size_t(1));
        QCOMPARE(bus.Arcs().size(), std::size_t(2));
        QCOMPARE(bus.Arcs()[0].startDeg, 90);
        QCOMPARE(bus.Arcs()[0].endDeg, 90);
    }

    void clickQueriesTheModuleAndFillsTheDialog() {
        Rig r;
        QVERIFY(r.Start());
        QVERIFY(r.Scan(4));
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        QTest::mouseClick(bus.picModule[0], Qt::LeftButton);  // runs once the press returns
        QTRY_COMPARE(bus.windowTitle(), QString("Bus Info - module found!"));
        QVERIFY(r.Received().contains("50 2C 01 00 0A 0D 00"));
        frmModuleState& state = r.main->ModuleStateForm();
        QCOMPARE(state.txtModulID->text(), QString("300"));
        QCOMPARE(state.txtVersion->text(), QString("1.2"));
        QCOMPARE(state.txtMode->text(), QString("10100101"));
        QCOMPARE(state.cmbErrorRelais->currentText(), QString("CH1_Error OR CH2_Error"));
        QCOMPARE(state.txtErrorCounterCH1->text(), QString("4"));
        QCOMPARE(state.txtErrorCounterCH2->text(), QString("9"));
        QCOMPARE(r.Images(), (QList<int>{5, 1, 3, 2}));
        QCOMPARE(int(bus.SelectedIndex), 0);

        bus.picModule_Click(2);  // the highlight moves
        QCOMPARE(r.Images(), (QList<int>{1, 1, 7, 2}));
        QCOMPARE(int(bus.SelectedIndex), 2);
        QCOMPARE(state.txtErrorCounterCH2->text(), QString("77"));
        QVERIFY(r.messages.isEmpty());
    }

    // The answer comes late; meanwhile the ring is redrawn or closed under the click.
    void clickSurvivesARedrawOrCloseDuringTheWait_data() {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("re-activation") << "activate"
                                       << "300";
        QTest::newRow("resize") << "resize"
                                << "300";
        QTest::newRow("Refresh") << "refresh"
                                 << "300";
        QTest::newRow("close") << "close"
                               << "";
    }
    void clickSurvivesARedrawOrCloseDuringTheWait() {
        QFETCH(QString, interruption);
        QFETCH(QString, shown);
        Rig r;
        r.sim = std::make_unique<SimProcess>(
            QStringList{"--no-pacing"},
            "[module 300]\nside = G\nsplit = 1\nsplit_ms = 800\n[module 301]\nside = L\n"
            "[module 302]\nside = R\n");
        QVERIFY(r.Start());
        QVERIFY(r.Scan(3));
        frmBackground& bus = r.main->BusForm();
        const float before = r.g.Bus.Modules(300).GetTimeStamp();
        // A real click: the query must not run inside the picture's own event.
        QTest::mouseClick(bus.picModule[0], Qt::LeftButton);
        QTimer::singleShot(300, [&] {
            QWidget* frame = bus.parentWidget();
            if (interruption == "activate")
                r.main->Form_Activate();
            else if (interruption == "resize")
                frame->resize(frame->width() + 40, frame->height() + 30);
            else if (interruption == "refresh")
                r.main->mnuRefresh_Click();
            else
                frame->close();
        });
        QTRY_VERIFY_WITH_TIMEOUT(r.g.Bus.Modules(300).GetTimeStamp() != before, 10000);
        if (shown.isEmpty()) {
            QTRY_VERIFY(!r.main->ExistingBusForm());
        } else {
            QTRY_COMPARE(r.main->BusForm().windowTitle(), QString("Bus Info - module found!"));
            QCOMPARE(r.Images(), (QList<int>{5, 1, 1}));
        }
        QCOMPARE(r.main->ModuleStateForm().txtModulID->text(), shown);
        QVERIFY(r.messages.isEmpty());
    }

    void silentModuleIsReportedWithBothChannelsInError() {
        Rig r;
        QVERIFY(r.Start());
        QVERIFY(r.Scan(4));
        r.g.Bus.AppendToOrder(999);  // in the table, but nobody answers for it
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        QElapsedTimer t;
        t.start();
        bus.picModule_Click(4);
        QVERIFY(t.elapsed() >= 1900);
        QCOMPARE(r.messages, QStringList{"Error!: Modul with ID 0 not answer!"});  // never answered
        QCOMPARE(bus.windowTitle(), QString("Bus Info - Selected module not found!"));
        QCOMPARE(r.Images()[4], 8);
        QVERIFY(r.g.Bus.Modules(999).GetStatusChannel1());
        QVERIFY(r.g.Bus.Modules(999).GetStatusChannel2());
    }

    void clickDuringAWaitRunsItsOwnQueryAndOneHighlightRemains() {
        Rig r;
        QVERIFY(r.Start());
        QVERIFY(r.Scan(4));
        r.g.Bus.AppendToOrder(999);
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        QTimer::singleShot(300, [&] { QTest::mouseClick(bus.picModule[1], Qt::LeftButton); });
        bus.picModule_Click(4);
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.Images(), (QList<int>{1, 1, 3, 2, 8}));
        QCOMPARE(int(bus.SelectedIndex), 4);
        QVERIFY(r.Received().contains("50 2D 01 00 0A 0D 00"));  // the nested query of 301
    }

    void applySendsTheRelayChangeToTheModule_data() {
        QTest::addColumn<bool>("eeprom");
        QTest::addColumn<QString>("relay");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("bits");
        QTest::newRow("set, relay 3") << false << "NOT CH1_Error OR NOT CH2_Error"
                                      << "53 2C 01 B5 0A 0D 00"
                                      << "10110101";
        QTest::newRow("write, relay 0") << true << "CH1_Error AND CH2_Error"
                                        << "57 2C 01 85 0A 0D 00"
                                        << "10000101";
        QTest::newRow("typed in lower case") << false << "ch1_error or ch2_error"
                                             << "53 2C 01 85 0A 0D 00"
                                             << "10000101";
        QTest::newRow("port closed: refused, said, nothing changed")
            << false << "CH1_Error AND CH2_Error" << QString() << "10100101";
    }
    void applySendsTheRelayChangeToTheModule() {
        QFETCH(bool, eeprom);
        QFETCH(QString, relay);
        QFETCH(QString, frame);
        QFETCH(QString, bits);
        Rig r;
        QVERIFY(r.Start());
        QVERIFY(r.Scan(4));
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        bus.picModule_Click(0);
        frmModuleState& state = r.main->ModuleStateForm();
        state.cmbErrorRelais->setCurrentText(relay);
        state.chkWriteToEEPROM->setChecked(eeprom);
        if (frame.isEmpty())
            r.main->Link().MSComm1().SetPortOpen(false);
        QTest::mouseClick(state.cmdApply, Qt::LeftButton);
        QCOMPARE(state.txtMode->text(), bits);
        if (frame.isEmpty()) {
            QCOMPARE(int(r.g.Bus.Modules(300).GetMode()), 0xA5);
            QCOMPARE(r.messages.size(), 1);
            QVERIFY(r.messages[0].startsWith("Error!: Module 300 was not changed"));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(r.Received().contains(frame), 5000);
        // The module took it: a new query reports the new mode.
        bus.picModule_Click(0);
        QCOMPARE(state.txtMode->text(), bits);
    }

    void applyWithoutAValidModuleSendsNothing_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("empty") << "";
        QTest::newRow("too big") << "32001";
        QTest::newRow("not a number") << "3x";
        QTest::newRow("negative") << "-1";
    }
    void applyWithoutAValidModuleSendsNothing() {
        QFETCH(QString, id);
        Global g;
        auto comm = std::make_unique<QtSerialComm>();
        frmMain main(g, std::move(comm));
        frmModuleState& state = main.ModuleStateForm();
        state.txtModulID->setText(id);
        state.cmdApply_Click();
        QCOMPARE(state.txtMode->text(), QString());
        QCOMPARE(int(g.TxByte3), 0);
    }

    void closedBusViewKeepsItsSize() {
        Rig r;
        QVERIFY(r.Start());
        r.main->BusForm();
        QMdiSubWindow* frame = qobject_cast<QMdiSubWindow*>(r.main->BusForm().parentWidget());
        QVERIFY(frame);
        frame->resize(410, 333);
        frame->close();
        QTRY_VERIFY(!r.main->ExistingBusForm());
        QCOMPARE(int(r.g.BusInfoWidth), 410 * 15);
        QCOMPARE(int(r.g.BusInfoHeight), 333 * 15);
        r.main->BusForm();
        QCOMPARE(r.main->BusForm().parentWidget()->size(), QSize(410, 333));
    }

    void picturesStaySharpAtScaleTwo() {
        Rig r;
        QVERIFY(r.Start());
        QVERIFY(r.Scan(4));
        const QImage shot = r.main->BusForm().picModule[2]->grab().toImage();
        QCOMPARE(shot.size(), QSize(40, 54));  // the suite runs at a device pixel ratio of 2
        // Scaled by whole pixels: only the picture's own colours, none blended.
        const QList<QRgb> own{qRgb(0, 0, 0),   qRgb(128, 128, 128), qRgb(0, 255, 0),
                              qRgb(255, 0, 0), qRgb(192, 192, 255), qRgb(192, 192, 192)};
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                QVERIFY2(c.alpha() == 0 || own.contains(c.rgb()),
                         qPrintable(QString("blended pixel at %1,%2").arg(x).arg(y)));
            }
        }
    }

    void imagesHaveTheirColours() {
        const auto images = BuildModuleImages();
        const QColor grey(128, 128, 128), blue(192, 192, 255), green(0, 255, 0), red(255, 0, 0);
        for (int i = 0; i < 8; ++i) {
            const QImage& img = images[std::size_t(i)];
            QCOMPARE(img.size(), QSize(20, 27));
            QCOMPARE(img.pixelColor(10, 15), i < 4 ? grey : blue);                      // face
            QCOMPARE(img.pixelColor(7, 6), (i % 4 == 1 || i % 4 == 3) ? red : green);   // channel 1
            QCOMPARE(img.pixelColor(14, 6), (i % 4 == 2 || i % 4 == 3) ? red : green);  // channel 2
            QCOMPARE(img.pixelColor(0, 0).alpha(), 0);  // cut corner
            QCOMPARE(img.pixelColor(19, 26).alpha(), 0);
            QCOMPARE(img.pixelColor(1, 26), QColor(Qt::black));  // band below
            QCOMPARE(img.pixelColor(7, 4), QColor(Qt::black));   // lamp rim
        }
    }

    void progressWindowRangeIsSetPerRun() {
        Global g;
        g.Bus.ModuleCount = 4;
        frmMain main(g, std::make_unique<QtSerialComm>());
        frmProgress& p = main.ProgressForm();
        QCOMPARE(p.windowTitle(), QString("Progress State"));
        QVERIFY(!p.cmdOK->isEnabled());
        QCOMPARE(p.ProgressBar->maximum(), 4);
        p.cmdOK->setEnabled(true);
        p.StartRun("Updateing modules...", 7);
        QCOMPARE(p.ProgressBar->maximum(), 7);
        QCOMPARE(p.ProgressBar->value(), 0);
        QVERIFY(!p.cmdOK->isEnabled());
        p.StartRun("Updateing modules...", 0);
        QCOMPARE(p.ProgressBar->maximum(), 100);
        p.cmdOK->setEnabled(true);
        QTest::mouseClick(p.cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!main.ExistingProgressForm());
    }
};

int main(int argc, char** argv) {
    // The whole suite runs as on a high-density screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TstBusView suite;
    return QTest::qExec(&suite, argc, argv);
}
#include "tst_busview.moc"

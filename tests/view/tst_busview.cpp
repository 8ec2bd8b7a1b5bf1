// The bus view and the module state dialog in the main window, against the simulator.
// The suite runs as on a high-density screen (device pixel ratio 2).

#include <QtTest>

#include <QAccessible>

#include "geometry/BusGeometry.h"
#include "support/AppRig.h"
#include "support/SimProcess.h"
#include "support/Unnamed.h"

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
    std::unique_ptr<SimProcess> sim;

    explicit Rig(const QByteArray& system = kSystem)
        : sim(std::make_unique<SimProcess>(QStringList{"--no-pacing", "--log", "{dir}/f.log"},
                                           system)) {}
    bool StartAndScan(int expected) {
        if (!sim->Start())
            return false;
        StartOn(sim->LinkPath());
        return Refresh() && g.Bus.ModuleCount == expected;
    }
    QStringList Received() { return sim->LoggedFrames("f.log"); }
    // What assistive technology hears of picture k.
    QString Said(int k) {
        QAccessibleInterface* a =
            QAccessible::queryAccessibleInterface(main->BusForm().picModule[k]);
        return a->text(QAccessible::Name) + ": " + a->text(QAccessible::Description);
    }
    QList<int> Images() {
        QList<int> out;
        for (auto* p : main->BusForm().picModule)
            out << p->ImageIndex();
        return out;
    }
};

// Whether the ring's arc passes blue through the given point of the view (logical pixels).
bool BlueAt(frmBackground& bus, QPointF at) {
    const QImage shot = bus.grab().toImage();
    const QPoint p = (at * shot.devicePixelRatio()).toPoint();
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            const QColor c = shot.pixelColor(p + QPoint(dx, dy));
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
                return true;
        }
    }
    return false;
}

}  // namespace

class TstBusView : public QObject {
    Q_OBJECT
  private slots:
    void drawingFollowsTheTable() {
        Rig r;
        QVERIFY(r.sim->Start());
        r.StartOn(r.sim->LinkPath());
        frmBackground& bus = r.main->BusForm();
        QCOMPARE(bus.picModule.size(), std::size_t(1));  // nothing found yet: an empty window
        QVERIFY(!bus.picModule[0]->isVisible() && !bus.lblPC->isVisible());

        QVERIFY(r.Refresh());
        QCOMPARE(r.Images(), (QList<int>{1, 1, 3, 2}));  // order 300, 301, 303, 302
        // Each picture centred on the ring, the attached one at the top, the others
        // counter-clockwise a quarter apart; the label "PC" under the attached one.
        const QPointF centre(bus.width() / 2.0, bus.height() / 2.0);
        const double radius = qMin(bus.width(), bus.height()) / 2.0 - 27;
        for (int k = 0; k < 4; ++k) {
            const QPointF c = QRectF(bus.picModule[std::size_t(k)]->geometry()).center() - centre;
            QVERIFY(qAbs(std::hypot(c.x(), c.y()) - radius) <= 1);
            QVERIFY(qAbs(std::remainder(std::atan2(-c.y(), c.x()) * 180 / M_PI - 90 * (k + 1),
                                        360)) < 1);
        }
        const ModulePicture* attached = bus.picModule[0];
        QCOMPARE(bus.lblPC->pos(), QPoint(attached->x(), attached->y() + attached->height()));
        // Each link drawn from both its ends, between neighbours; red between 303 (at the
        // bottom) and 302 (at the right), whose modules both report errors.
        QStringList red;
        for (const auto& a : bus.Arcs()) {
            QCOMPARE(ArcSpan(a.startDeg, a.endDeg), 90);
            if (a.color == frmBackground::kRed)
                red << QString("%1-%2").arg(a.startDeg).arg(a.endDeg);
        }
        QCOMPARE(bus.Arcs().size(), std::size_t(8));
        QCOMPARE(red, (QStringList{"270-0", "270-0"}));

        r.g.Bus.ModuleCount = 1;  // one module: no stale pictures, the whole ring drawn
        bus.DrawModules();
        QCOMPARE(bus.picModule.size(), std::size_t(1));
        for (const QPointF& side : {QPointF(-radius, 0), QPointF(0, radius), QPointF(radius, 0)})
            QVERIFY(BlueAt(bus, centre + side));
    }

    // A click fills the dialog; each Apply sends the change as the dialog stands then.
    void clickQueryApplyAsATechnicianDoes() {
        Rig r;
        QVERIFY(r.StartAndScan(4));
        frmBackground& bus = r.main->BusForm();
        QTest::mouseClick(bus.picModule[2], Qt::LeftButton);  // runs once the press returns
        QTRY_COMPARE(bus.windowTitle(), QString("Bus Info - module found!"));
        QCOMPARE(r.Images(), (QList<int>{1, 1, 7, 2}));
        bus.picModule_Click(0);  // the highlight moves
        QVERIFY(r.Idle());
        QCOMPARE(r.Images(), (QList<int>{5, 1, 3, 2}));
        frmModuleState& state = r.main->ModuleStateForm();
        QCOMPARE((QStringList{state.txtModulID->text(), state.txtVersion->text(),
                              state.txtMode->text(), state.cmbErrorRelais->currentText(),
                              state.txtErrorCounterCH1->text(), state.txtErrorCounterCH2->text()}),
                 (QStringList{"300", "1.2", "10100101", "CH1_Error OR CH2_Error", "4", "9"}));
        const auto apply = [&](const char* relay, bool eeprom, const char* bits) {
            state.cmbErrorRelais->setCurrentText(relay);
            state.chkWriteToEEPROM->setChecked(eeprom);
            QTest::mouseClick(state.cmdApply, Qt::LeftButton);
            return r.Idle() && state.txtMode->text() == bits;
        };
        QVERIFY(apply("NOT CH1_Error OR NOT CH2_Error", false, "10110101"));
        QVERIFY(apply("CH1_Error AND CH2_Error", true, "10000101"));  // read at every Apply
        QVERIFY(apply("ch1_error or ch2_error", false, "10000101"));  // other case: entry 0
        bus.picModule_Click(0);                                       // the module took it
        QVERIFY(r.Idle());
        QCOMPARE(state.txtMode->text(), QString("10000101"));
        QCOMPARE(
            r.Received().filter(QRegularExpression("^5")),
            (QStringList{"50 2F 01 00 0A 0D 00", "50 2C 01 00 0A 0D 00", "53 2C 01 B5 0A 0D 00",
                         "57 2C 01 85 0A 0D 00", "53 2C 01 85 0A 0D 00", "50 2C 01 00 0A 0D 00"}));
        QVERIFY(r.messages.isEmpty());
        // Sharp at scale 2: whole pixels in the pictures' own colours, none blended.
        const QImage shot = bus.picModule[2]->grab().toImage();
        QCOMPARE(shot.size(), QSize(40, 54));
        const QList<QRgb> own{qRgb(0, 0, 0),   qRgb(128, 128, 128), qRgb(0, 255, 0),
                              qRgb(255, 0, 0), qRgb(192, 192, 255), qRgb(192, 192, 192)};
        for (int y = 0; y < 54; ++y)
            for (int x = 0; x < 40; ++x)
                QVERIFY(shot.pixelColor(x, y).alpha() == 0 || own.contains(shot.pixel(x, y)));
        QCOMPARE(shot.pixel(14, 12), qRgb(0, 255, 0));  // 303's lamps: channel 1 fine,
        QCOMPARE(shot.pixel(28, 12), qRgb(255, 0, 0));  // channel 2 in error
        QCOMPARE(bus.picModule[0]->grab().toImage().pixel(20, 30), qRgb(192, 192, 255));
        // With the port closed the send is refused, said, and the record keeps its mode.
        r.main->Link().ClosePort();
        QVERIFY(apply("CH1_Error OR CH2_Error", false, "10000101"));
        QCOMPARE(int(r.g.Bus.Modules(300).GetMode()), 0x85);
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].startsWith("Error!: Module 300 was not changed"));
    }

    // From the keyboard alone, and as a screen reader hears it: Ctrl+Tab to the bus view,
    // Tab to the ring, the arrows round it, Enter queries the focused module once.
    void keyboardAndScreenReaderReachEveryModule() {
        Rig r;
        QVERIFY(r.StartAndScan(4));
        frmBackground& bus = r.main->BusForm();
        QCOMPARE(QAccessible::queryAccessibleInterface(&bus)->text(QAccessible::Name),
                 QString("Bus Info, 4 modules"));
        QVERIFY(
            r.Said(0).endsWith(": firmware 1.2; CH1 ok, error counter 4; CH2 ok, error "
                               "counter 9; attached to the PC"));
        QCOMPARE(r.Said(2), QString("Module 303: firmware 3.4; CH1 ok, error counter 0; CH2 "
                                    "error, error counter 77; link to module 302 in error"));
        QVERIFY(bus.picModule[3]->toolTip().startsWith("Module 302\nfirmware 3.4\nCH1 error,"));
        for (QWidget* form : {static_cast<QWidget*>(&r.main->ModuleStateForm()),
                              static_cast<QWidget*>(&r.main->GlobalSettingsForm())})
            QCOMPARE(testing_support::Unnamed(*form), QStringList());

        r.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(r.main.get()));
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(r.main->windowHandle(), key, modifiers);  // as typed: to the focus
            const auto* at = qobject_cast<ModulePicture*>(QApplication::focusWidget());
            return at ? at->Index() : -1;
        };
        for (int i = 0; i < 4 && press(Qt::Key_Tab, Qt::ControlModifier) < 0; ++i) {
        }
        QCOMPARE(press(Qt::Key_Tab), 0);  // nothing highlighted yet: the attached module
        QList<int> walk;
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Left,
                            Qt::Key_Up, Qt::Key_Home, Qt::Key_Up})
            walk << press(key);
        QCOMPARE(walk, (QList<int>{1, 2, 3, 0, 3, 2, 0, 3}));
        press(Qt::Key_Return);
        QTRY_COMPARE(bus.windowTitle(), QString("Bus Info - module found!"));
        QCOMPARE(r.Received().filter(QRegularExpression("^50")),
                 QStringList{"50 2E 01 00 0A 0D 00"});  // 302, once
        QCOMPARE(r.Images(), (QList<int>{1, 1, 3, 6}));
        QCOMPARE(press(Qt::Key_Home), 0);
        QCOMPARE(press(Qt::Key_Tab), 3);  // back on the highlighted module

        // The focus frame stands beside the picture; its lamps show as drawn.
        const QImage shot = bus.grab().toImage();
        const QPoint corner = bus.picModule[3]->pos() * shot.devicePixelRatio();
        QCOMPARE(shot.pixelColor(corner + QPoint(-4, 20)),
                 bus.palette().color(QPalette::Highlight));
        QCOMPARE(shot.pixel(corner + QPoint(14, 12)), qRgb(255, 0, 0));
        QWidget* frame = bus.parentWidget();
        frame->resize(frame->size() + QSize(30, 20));  // drawn afresh: the focus stays put
        QCOMPARE(press(Qt::Key_Left), 2);
        QVERIFY(r.messages.isEmpty());
    }

    void silentModuleTimesOut() {
        Rig r;
        QVERIFY(r.StartAndScan(4));
        r.g.Bus.AppendToOrder(999);  // in the table, but nobody answers for it
        frmBackground& bus = r.main->BusForm();
        bus.DrawModules();
        QStringList spinner;
        connect(&bus, &QWidget::windowTitleChanged,
                [&](const QString& t) { spinner << t.right(1); });
        bus.picModule_Click(4);
        QVERIFY(r.Idle());
        // The caption's spinner turns while the query waits: | at first, then / - \ ...
        QVERIFY2(QString("|/-\\|/").startsWith(spinner.mid(0, spinner.size() - 1).join("")) &&
                     spinner.size() >= 3,
                 qPrintable(spinner.join("")));
        QCOMPARE(r.messages, QStringList{"Error!: Modul with ID 0 not answer!"});
        QCOMPARE(bus.windowTitle(), QString("Bus Info - Selected module not found!"));
        QCOMPARE(r.Images(), (QList<int>{1, 1, 3, 2, 8}));  // one highlight: the silent one
        QVERIFY(r.g.Bus.Modules(999).GetStatusChannel1() &&
                r.g.Bus.Modules(999).GetStatusChannel2());
        // The descriptions follow the query, also those of the modules beside it.
        QCOMPARE(r.Said(4), QString("Module 999: firmware 0.0; CH1 error, error counter 0; CH2 "
                                    "error, error counter 0; link to module 302 in error"));
        QVERIFY(r.Said(3).endsWith("; link to module 999 in error; link to module 303 in error"));
        QCOMPARE(r.Received().filter(QRegularExpression("^50")),
                 QStringList{"50 E7 03 00 0A 0D 00"});
    }

    // The answer comes late; meanwhile the ring is redrawn or closed under the click. The
    // module is marked where it stands at the end, and nothing past the ring's end is read.
    void clickSurvivesARedrawOrCloseDuringTheWait_data() {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QList<int>>("images");
        QTest::newRow("resize") << "resize"
                                << "300" << QList<int>{5, 1, 1};
        QTest::newRow("another order") << "reorder"
                                       << "300" << QList<int>{1, 1, 5};
        // The last selection (position 2) is past the end of the ring drawn afresh.
        QTest::newRow("a table begun afresh") << "afresh"
                                              << "300" << QList<int>{5};
        QTest::newRow("close") << "close"
                               << "" << QList<int>{};
    }
    void clickSurvivesARedrawOrCloseDuringTheWait() {
        QFETCH(QString, interruption);
        QFETCH(QString, shown);
        QFETCH(QList<int>, images);
        Rig r(
            "[module 300]\nside = G\nsplit = 1\nsplit_ms = 800\n[module 301]\nside = L\n"
            "[module 302]\nside = R\n");
        QVERIFY(r.StartAndScan(3));
        frmBackground& bus = r.main->BusForm();
        bus.picModule_Click(2);
        QVERIFY(r.Idle());
        const float before = r.g.Bus.Modules(300).GetTimeStamp();
        // A real click: the query must not run inside the picture's own event.
        QTest::mouseClick(bus.picModule[0], Qt::LeftButton);
        QTimer::singleShot(300, [&] {
            QWidget* frame = bus.parentWidget();
            if (interruption == "resize")
                frame->resize(frame->width() + 40, frame->height() + 30);
            else if (interruption == "reorder") {
                r.g.Bus.ModuleCount = 0;
                for (int id : {302, 301, 300})
                    r.g.Bus.AppendToOrder(id);
                bus.DrawModules();
            } else if (interruption == "afresh") {
                r.g.Bus = ModuleTable();
                r.g.Bus.AppendToOrder(300);
                bus.DrawModules();
            } else
                frame->close();
        });
        QTRY_VERIFY_WITH_TIMEOUT(r.g.Bus.Modules(300).GetTimeStamp() != before, 10000);
        if (shown.isEmpty()) {
            QTRY_VERIFY(!r.main->ExistingBusForm());
        } else {
            QTRY_COMPARE(r.main->BusForm().windowTitle(), QString("Bus Info - module found!"));
            QCOMPARE(r.Images(), images);
        }
        QCOMPARE(r.main->ModuleStateForm().txtModulID->text(), shown.isEmpty() ? "302" : shown);
        QVERIFY(!r.g.Bus.Find(0));
        QVERIFY(r.messages.isEmpty());
    }

    void closedBusViewKeepsItsSize() {
        Rig r;
        QVERIFY(r.sim->Start());
        r.StartOn(r.sim->LinkPath());
        QWidget* frame = r.main->BusForm().parentWidget();
        frame->resize(410, 333);
        frame->close();
        QTRY_VERIFY(!r.main->ExistingBusForm());
        QCOMPARE(int(r.g.BusInfoWidth), 410 * 15);
        QCOMPARE(int(r.g.BusInfoHeight), 333 * 15);
        QCOMPARE(r.main->BusForm().parentWidget()->size(), QSize(410, 333));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TstBusView suite;
    return QTest::qExec(&suite, argc, argv);
}
#include "tst_busview.moc"

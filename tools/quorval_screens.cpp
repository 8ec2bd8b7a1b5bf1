// Renders the windows offscreen into PNG files, against an in-process
// simulated system: the eight module images and a set of scenes.
//
//   quorval-screens DIR

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QTimer>

#include "link/MemoryComm.h"
#include "model/Global.h"
#include "session/BusScan.h"
#include "shell/frmMain.h"
#include "sim/SimProtocol.h"
#include "ui/ModuleImages.h"

using namespace quorval;

namespace {

// A port whose far end is the simulator, in the same process.
std::unique_ptr<MemoryComm> SimComm(lwlsim::SimSystem system) {
    auto sim = std::make_shared<lwlsim::Simulator>(std::move(system));
    return std::make_unique<MemoryComm>([sim](const QByteArray& bytes) {
        QByteArray answer;
        const auto out = sim->Feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
        for (const auto& chunk : out.chunks) {
            answer.append(reinterpret_cast<const char*>(chunk.bytes.data()),
                          static_cast<qsizetype>(chunk.bytes.size()));
        }
        return answer;
    });
}

// n modules, every third with an error on one channel, every fifth on both.
lwlsim::SimSystem System(int n) {
    lwlsim::SimSystem s;
    for (int i = 0; i < n; ++i) {
        lwlsim::SimModule m;
        m.id = static_cast<std::uint16_t>(100 + i);
        m.side = i == 0 ? 'G' : (i % 2 ? 'L' : 'R');
        m.ch1Error = i % 5 == 4;
        m.ch2Error = i % 3 == 2 || i % 5 == 4;
        m.ch1Count = m.ch1Error ? static_cast<std::uint16_t>(11 * i) : 0;
        m.ch2Count = m.ch2Error ? static_cast<std::uint16_t>(7 * i) : 0;
        m.mode = 0x15;
        s.modules.push_back(m);
    }
    return s;
}

// One picture's set-up: the main window on a system of n modules, scanned.
// Everything runs from the event loop; each step calls the next when it is done.
struct Scene {
    Global g;
    std::unique_ptr<frmMain> main;
    int modules;

    explicit Scene(int n) : modules(n) {
        main = std::make_unique<frmMain>(g, SimComm(System(n)));
        main->resize(760, 560);
        main->show();
    }
    static QMdiSubWindow* Frame(QWidget& form) {
        return qobject_cast<QMdiSubWindow*>(form.parentWidget());
    }
    // Once the window has started (its port selection tested the ports), scans.
    void Scan(std::function<void()> then) {
        auto* wait = new QTimer(main.get());
        QObject::connect(wait, &QTimer::timeout, main.get(), [this, wait, then] {
            if (!main->ExistingBusForm() || main->Link().Busy()) {
                return;
            }
            wait->deleteLater();
            QMdiSubWindow* bus = Frame(main->BusForm());
            bus->move(300, 0);
            bus->resize(440, 400);
            const auto drawn = [this, then] {
                main->BusForm().DrawModules();
                then();
            };
            if (modules == 0) {
                drawn();
                return;
            }
            auto* scan = new BusScan(main->Link());
            QObject::connect(scan, &BusScan::finished, main.get(), drawn);
            scan->Start();
        });
        wait->start(10);
    }
};

bool Save(const QPixmap& pixmap, const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    if (!pixmap.save(path)) {
        std::fprintf(stderr, "quorval-screens: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The rings of 0 to 16 modules, one after the other, then a selected module,
// the dialogs and the progress window.
struct Shots {
    QString dir;
    bool ok = true;
    std::vector<int> sizes{0, 1, 2, 4, 7, 16};
    std::size_t at = 0;
    std::unique_ptr<Scene> scene;

    void Next() {
        if (at < sizes.size()) {
            const int n = sizes[at++];
            scene = std::make_unique<Scene>(n);
            scene->Scan([this, n] {
                ok &= Save(Scene::Frame(scene->main->BusForm())->grab(), dir,
                           QStringLiteral("bus-%1.png").arg(n));
                QTimer::singleShot(0, [this] { Next(); });
            });
            return;
        }
        scene = std::make_unique<Scene>(7);
        scene->Scan([this] {
            frmBackground& bus = scene->main->BusForm();
            QObject::connect(&bus, &frmBackground::ModuleQueried, &bus,
                             [this] { QTimer::singleShot(0, [this] { Selected(); }); });
            bus.picModule_Click(4);  // the module at the lower right
        });
    }
    void Selected() {
        frmMain& main = *scene->main;
        ok &= Save(Scene::Frame(main.BusForm())->grab(), dir, QStringLiteral("bus-selected.png"));
        ok &= Save(Scene::Frame(main.ModuleStateForm())->grab(), dir,
                   QStringLiteral("module-state.png"));
        ok &= Save(main.grab(), dir, QStringLiteral("main.png"));
        frmProgress& progress = main.ProgressForm();
        progress.StartRun(QStringLiteral("Updateing modules..."), 7);
        progress.ProgressBar->setValue(3);
        ok &= Save(Scene::Frame(progress)->grab(), dir, QStringLiteral("progress.png"));
        scene.reset();
        QCoreApplication::exit(ok ? 0 : 1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorval-screens DIR\n");
        return 2;
    }
    Shots shots;
    shots.dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(shots.dir);
    const auto images = BuildModuleImages();
    for (std::size_t i = 0; i < images.size(); ++i) {
        shots.ok &=
            images[i].save(QDir(shots.dir).filePath(QStringLiteral("module-%1.png").arg(i + 1)));
    }
    QTimer::singleShot(0, [&shots] { shots.Next(); });
    return app.exec();
}

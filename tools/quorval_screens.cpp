// Renders the windows offscreen into PNG files, against an in-process
// simulated system: the eight module images and a set of scenes.
//
//   quorval-screens DIR

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>

#include "common/EventYield.h"
#include "link/CommandFrame.h"
#include "link/MemoryComm.h"
#include "model/Global.h"
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

struct Scene {
    Global g;
    std::unique_ptr<frmMain> main;

    explicit Scene(int modules) {
        main = std::make_unique<frmMain>(g, SimComm(System(modules)));
        main->resize(760, 560);
        main->show();
        QMdiSubWindow* bus = Frame(main->BusForm());
        bus->move(300, 0);
        bus->resize(440, 400);
        if (modules > 0) {
            g.Bus.ModuleCount = 0;
            main->Link().SendCommand(kCmdScan);
            WaitUntil([&] { return g.Bus.ModuleCount == modules; }, 5000);
            WaitUntil([&] { return !g.RxPending; }, 1000);
        }
        main->BusForm().DrawModules();
    }
    static QMdiSubWindow* Frame(QWidget& form) {
        return qobject_cast<QMdiSubWindow*>(form.parentWidget());
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorval-screens DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    bool ok = true;

    const auto images = BuildModuleImages();
    for (std::size_t i = 0; i < images.size(); ++i) {
        ok &= images[i].save(QDir(dir).filePath(QStringLiteral("module-%1.png").arg(i + 1)));
    }

    for (int n : {0, 1, 2, 4, 7, 16}) {
        Scene s(n);
        ok &=
            Save(Scene::Frame(s.main->BusForm())->grab(), dir, QStringLiteral("bus-%1.png").arg(n));
    }

    {
        Scene s(7);
        frmBackground& bus = s.main->BusForm();
        bus.picModule_Click(4);  // the module at the lower right
        ok &= Save(Scene::Frame(bus)->grab(), dir, QStringLiteral("bus-selected.png"));
        ok &= Save(Scene::Frame(s.main->ModuleStateForm())->grab(), dir,
                   QStringLiteral("module-state.png"));
        ok &= Save(s.main->grab(), dir, QStringLiteral("main.png"));
        frmProgress& progress = s.main->ProgressForm();
        progress.StartRun(QStringLiteral("Updateing modules..."), 7);
        progress.ProgressBar->setValue(3);
        ok &= Save(Scene::Frame(progress)->grab(), dir, QStringLiteral("progress.png"));
    }
    return ok ? 0 : 1;
}

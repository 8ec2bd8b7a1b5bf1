#include "shell/frmMain.h"

#include "common/Global.h"

namespace quorval {

namespace {
constexpr int kTwipsPerPixel = 15;
}

frmMain::frmMain(Global& g, std::unique_ptr<MSComm> port, QWidget* parent)
    : QMainWindow(parent),
      g_(g),
      area_(new QMdiArea(this)),
      link_(new ModuleLink(g, std::move(port), this)),
      debug_(*area_, [] { return new frmDebug(); }) {
    setWindowTitle(tr("QUORVAL Setup Tool"));
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);
    resize(6660 / kTwipsPerPixel, 5490 / kTwipsPerPixel);

    g_.Bus.MinVersion = 255;
    g_.TxByte1 = g_.TxByte2 = g_.TxByte3 = 0;
    connect(link_, &ModuleLink::DebugLine, this,
            [this](const QString& line) { DebugForm().AddLine(line); });
    link_->StartTimers();
}

}  // namespace quorval

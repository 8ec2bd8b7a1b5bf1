#include "shell/frmMain.h"

#include "bus/BusScan.h"
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
      debug_(*area_, [] { return new frmDebug(); }),
      moduleState_(*area_, [this] { return new frmModuleState(*link_); }),
      bus_(
          *area_,
          [this] {
              return new frmBackground(g_, *link_,
                                       [this]() -> frmModuleState& { return ModuleStateForm(); });
          },
          false,
          [](frmBackground& form, QMdiSubWindow& frame) {
              const QSize saved = form.SavedOuterSize();
              frame.resize(saved.isEmpty() ? QSize(300, 260) : saved);
          }),
      progress_(
          *area_, [this] { return new frmProgress(g_.Bus.ModuleCount); }, true,
          [this](frmProgress&, QMdiSubWindow& frame) {
              // A quarter down and a third across the main window.
              frame.move(width() / 3, height() / 4);
          }),
      globalSettings_(*area_, [this] {
          return new frmGlobalSettings(g_, *link_,
                                       [this]() -> frmProgress& { return ProgressForm(); });
      }) {
    setWindowTitle(tr("QUORVAL Setup Tool"));
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);
    resize(6660 / kTwipsPerPixel, 5490 / kTwipsPerPixel);

    g_.Bus.MinVersion = 255;
    g_.TxByte1 = g_.TxByte2 = g_.TxByte3 = 0;
    connect(link_, &ModuleLink::DebugLine, this,
            [this](const QString& line) { DebugForm().AddLine(line); });
    connect(link_, &ModuleLink::AttachedModeReported, this,
            [this](std::uint8_t mode) { GlobalSettingsForm().ShowReportedMode(mode); });

    // Both Apply buttons wait for a scan that finds the system.
    GlobalSettingsForm().cmdApply->setEnabled(false);
    GlobalSettingsForm().SelectBaudrate(QStringLiteral("125 KBit/s"));
    ModuleStateForm().cmdApply->setEnabled(false);
    link_->StartTimers();
}

}  // namespace quorval

namespace quorval {

void frmMain::mnuRefresh_Click() {
    switch (ScanBus(g_, *link_)) {
        case ScanOutcome::Foreign:
            g_.MsgBox(QStringLiteral("LWL-System contains a none-QUORVAL module!\r\n"
                                     "Please remove those modules and try again!"),
                      MessageIcon::Critical, QStringLiteral("Warning!"));
            break;
        case ScanOutcome::Found:
            BusForm().DrawModules();
            GlobalSettingsForm().SetProperties();
            GlobalSettingsForm().cmdApply->setEnabled(true);
            ModuleStateForm().cmdApply->setEnabled(true);
            break;
        case ScanOutcome::NoneFound:
            g_.MsgBox(
                QStringLiteral("No Modules found! Check the serial connection and try it again."),
                MessageIcon::Critical, QStringLiteral("Connection Error"));
            g_.Bus.MinVersion = 255;
            GlobalSettingsForm().SetProperties();
            break;
    }
}

}  // namespace quorval

#include "shell/frmMain.h"

#include <cstdio>
#include <cstdlib>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTimer>

#include "bus/BusScan.h"
#include "common/Global.h"
#include "shell/Ini.h"
#include "view/BusGeometry.h"

namespace quorval {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kDebugCode = 73;

QString Title() {
    return QString::fromLatin1(kAppTitle);
}

}  // namespace

frmMain::frmMain(Global& g, std::unique_ptr<MSComm> port, const QString& iniFile, QWidget* parent)
    : QMainWindow(parent),
      EndProgram([] {
          std::fflush(nullptr);
          std::_Exit(0);
      }),
      g_(g),
      area_(new QMdiArea(this)),
      link_(new ModuleLink(g, std::move(port), this)),
      debug_(
          *area_, [] { return new frmDebug(); }, true,
          [this](frmDebug&, QMdiSubWindow& frame) {
              // It pops up with the first bytes; the bottom left corner hides the least.
              frame.move(0, qMax(0, area_->height() - frame.height()));
          }),
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
      globalSettings_(*area_,
                      [this] {
                          return new frmGlobalSettings(
                              g_, *link_, [this]() -> frmProgress& { return ProgressForm(); });
                      }),
      programSettings_(*area_, [this] { return new frmProgramSettings(g_, *link_); }) {
    setWindowTitle(Title());
    area_->setBackground(QColor(128, 128, 128));
    setCentralWidget(area_);
    resize(6660 / kTwipsPerPixel, 5490 / kTwipsPerPixel);

    mnuExit = menuBar()->addAction(tr("E&xit"), this, &frmMain::mnuExit_Click);
    mnuRefresh = menuBar()->addAction(tr("&Refresh"), this, &frmMain::mnuRefresh_Click);
    mnuProgramSettings = menuBar()->addMenu(tr("&Settings"));
    mnuDebug = mnuProgramSettings->addAction(tr("Debug"), this, &frmMain::mnuDebug_Click);
    mnuDebug->setCheckable(true);
    mnuDebug->setVisible(false);
    mnuSelectCOMport = mnuProgramSettings->addAction(tr("Select COM port"), this,
                                                     &frmMain::mnuSelectCOMport_Click);
    mnuAbout = menuBar()->addAction(tr("About"), this, &frmMain::mnuAbout_Click);

    g_.Bus.MinVersion = 255;
    g_.IniFileName = iniFile.isEmpty() ? SettingsFilePath() : iniFile;
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

    // Coming back from another program counts as a new activation.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) {
                    wasInactive_ = true;
                } else if (wasInactive_ && activatedOnce_) {
                    wasInactive_ = false;
                    Form_Activate();
                }
            });
}

bool frmMain::event(QEvent* event) {
    // The first paint comes once the window is on screen with its final size,
    // before the user can give a command.
    if (event->type() == QEvent::Paint && !activatedOnce_) {
        activatedOnce_ = true;
        QTimer::singleShot(0, this, &frmMain::Form_Activate);
    }
    return QMainWindow::event(event);
}

void frmMain::PlaceBusView() {
    frmBackground& bus = BusForm();
    QMdiSubWindow* frame = qobject_cast<QMdiSubWindow*>(bus.parentWidget());
    if (!frame) {
        return;
    }
    frame->hide();
    const double height = 0.75 * area_->height();
    const double width = 0.5 * area_->width();
    frame->resize(static_cast<int>(height > 0 ? width : 0), static_cast<int>(height));
    // The saved size is kept only while it fits.
    const double heightTwips = height * kTwipsPerPixel;
    const double widthTwips = width * kTwipsPerPixel;
    if (heightTwips <= 32767) {
        g_.BusInfoHeight = RoundHalfEven(heightTwips);
    }
    if (widthTwips <= 32767) {
        g_.BusInfoWidth = RoundHalfEven(widthTwips);
    }
    frame->move(area_->width() - frame->width(), 0);
    bus.DrawModules();
    frame->show();
}

void frmMain::Form_Activate() {
    MSComm& port = link_->MSComm1();
    port.SetInputMode(1);
    PlaceBusView();

    QWidget* state = ModuleStateForm().parentWidget();
    QWidget* global = GlobalSettingsForm().parentWidget();
    state->move(0, 0);
    global->move(0, state->height());

    const QString section = Title();
    const IniReader settings(g_.IniFileName);  // read once for all keys
    const bool debug = ByteSetting(settings.Int(section, QStringLiteral("debug"))) == kDebugCode;
    g_.DebugEnabled = debug;
    mnuDebug->setVisible(debug);

    for (int n = 1; n <= 4; ++n) {
        port.MapPort(n, DeviceSetting(settings.String(section, QStringLiteral("com%1").arg(n))));
    }
    const int comport = ByteSetting(settings.Int(section, QStringLiteral("comport")));
    if (comport >= 1 && comport <= 4) {
        g_.ComPort = static_cast<std::uint8_t>(comport);
        port.SetCommPort(comport);
        port.SetPortOpen(true);
        link_->StartTimers();
    } else {
        ProgramSettingsForm();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    link_->MSComm1().SetPortOpen(false);
    QMainWindow::closeEvent(event);
}

void frmMain::mnuExit_Click() {
    link_->Timer1.stop();
    link_->Timer2.stop();
    // Ends at once, also from inside a scan or a run; the port goes first so
    // that no lock is left behind.
    link_->MSComm1().SetPortOpen(false);
    EndProgram();
}

void frmMain::mnuRefresh_Click() {
    switch (ScanBus(g_, *link_)) {
        case ScanOutcome::Foreign:
            g_.MsgBox(QString::fromLatin1(kForeignModuleText), MessageIcon::Critical,
                      QStringLiteral("Warning!"));
            break;
        case ScanOutcome::Found:
            BusForm().DrawModules();
            GlobalSettingsForm().SetProperties();
            GlobalSettingsForm().cmdApply->setEnabled(true);
            ModuleStateForm().cmdApply->setEnabled(true);
            break;
        case ScanOutcome::NoneFound:
            g_.MsgBox(QString::fromLatin1(kNoModulesText), MessageIcon::Critical,
                      QStringLiteral("Connection Error"));
            g_.Bus.MinVersion = 255;
            GlobalSettingsForm().SetProperties();
            break;
    }
}

void frmMain::mnuDebug_Click() {
    // The action toggled its own check mark already.
    if (!mnuDebug->isChecked()) {
        g_.DebugEnabled = false;
    } else {
        g_.DebugEnabled = true;
        DebugForm();
    }
}

void frmMain::mnuSelectCOMport_Click() {
    ProgramSettingsForm();
}

QString frmMain::AboutText() {
    return QStringLiteral("%1 Version %2.%3%4\r\n\r\n%5")
        .arg(Title())
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision)
        .arg(QStringLiteral("Inspects and configures QUORVAL fibre-optic CAN coupler systems."));
}

void frmMain::mnuAbout_Click() {
    g_.MsgBox(AboutText(), MessageIcon::Information, QStringLiteral("About"));
}

}  // namespace quorval

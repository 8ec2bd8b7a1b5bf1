#include "shell/frmMain.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "common/Ini.h"
#include "geometry/FreeSpot.h"
#include "geometry/Twips.h"
#include "model/Global.h"
#include "session/BusScan.h"

namespace quorval {

namespace {

constexpr int kDebugCode = 73;

QString Title() {
    return QString::fromLatin1(kAppTitle);
}

}  // namespace

frmMain::frmMain(Global& g, std::unique_ptr<MSComm> port, const SettingsFiles& settings,
                 QWidget* parent)
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
          [this](frmDebug&, QMdiSubWindow& frame) { frame.move(DebugPlace(frame.size())); }),
      moduleState_(*area_, [this] { return new frmModuleState(*link_); }),
      bus_(
          *area_,
          [this] {
              auto* form = new frmBackground(g_, *link_);
              connect(form, &frmBackground::QueryBegun, this, [this] { ModuleStateForm(); });
              connect(form, &frmBackground::ModuleQueried, this,
                      [this](int id, const ModuleData& record) {
                          ModuleStateForm().ShowModule(id, record);
                      });
              return form;
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
                          auto* form = new frmGlobalSettings(
                              g_, *link_, [this]() -> frmProgress& { return ProgressForm(); });
                          // Made afresh (a "G" answer during a scan), it offers what the
                          // closed one did.
                          form->cmdApply->setEnabled(applyReady_ && !link_->Busy());
                          return form;
                      }),
      programSettings_(*area_, [this] { return new frmProgramSettings(g_, *link_); }) {
    setWindowTitle(Title());
    area_->setBackground(QColor(128, 128, 128));
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);

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
    g_.IniFileName = settings.shared;
    g_.IniUserFileName = settings.personal;
    connect(link_, &ModuleLink::DebugLine, this,
            [this](const QString& line) { DebugForm().AddLine(line); });
    connect(link_, &ModuleLink::AttachedModeReported, this,
            [this](std::uint8_t mode) { GlobalSettingsForm().ShowReportedMode(mode); });
    connect(link_, &ModuleLink::LinkLost, this, &frmMain::OnLinkLost);
    connect(link_, &ModuleLink::BusyChanged, this, &frmMain::ShowBusy);

    GlobalSettingsForm().SelectBaudrate(QStringLiteral("125 KBit/s"));
    ModuleStateForm();
    // Both Apply buttons wait for a scan that finds the system.
    EnableApply(false);
    link_->StartTimers();
    resize(FirstSize());
}

frmMain::~frmMain() {
    if (busyCursor_) {
        QGuiApplication::restoreOverrideCursor();
    }
}

int frmMain::DialogsRight() const {
    int right = 0;
    for (QWidget* form : {static_cast<QWidget*>(ExistingModuleStateForm()),
                          static_cast<QWidget*>(ExistingGlobalSettingsForm())}) {
        if (form && form->parentWidget()) {
            right = qMax(right, form->parentWidget()->width());
        }
    }
    return right;
}

int frmMain::DialogsBottom() const {
    int bottom = 0;
    for (QWidget* form : {static_cast<QWidget*>(ExistingModuleStateForm()),
                          static_cast<QWidget*>(ExistingGlobalSettingsForm())}) {
        if (form && form->parentWidget()) {
            bottom = qMax(bottom, form->parentWidget()->geometry().bottom() + 1);
        }
    }
    return bottom;
}

QSize frmMain::DebugFrameSize() {
    const frmDebug probe;
    const frmModuleState& state = ModuleStateForm();
    // Its frame adds what the dialogs' frames add to theirs.
    const QSize frame =
        state.parentWidget()->size() - state.sizeHint().expandedTo(state.minimumSize());
    return probe.sizeHint() + frame;
}

QPoint frmMain::DebugPlace(const QSize& size) const {
    // It opens by itself with the first bytes: below the dialogs, between them
    // and the bus view, or below the bus view, wherever it hides no window. In a
    // window too small for that, at the bottom left, off the ring.
    std::vector<QRect> taken;
    for (const QMdiSubWindow* w : area_->subWindowList()) {
        if (w->isVisible()) {
            taken.push_back(w->geometry());
        }
    }
    const QWidget* bus = ExistingBusForm() ? ExistingBusForm()->parentWidget() : nullptr;
    const int busBottom = bus ? bus->geometry().bottom() + 1 : 0;
    const QRect area(QPoint(0, 0), area_->viewport()->size());
    return FreeSpot(area, size, taken,
                    {{0, DialogsBottom()},
                     {DialogsRight(), 0},
                     {area.width() - size.width(), busBottom}})
        .value_or(QPoint(0, qMax(0, area.height() - size.height())));
}

QSize frmMain::FirstSize() {
    // The bus view takes the right half of the area and three quarters of its
    // height; the two dialogs stand on top of each other in the left half, and
    // the debug window, when the first bytes open it, between them and the bus
    // view. With the platform's fonts the dialogs are larger than their classic
    // sizes, so the window grows until all four fit side by side, within the screen.
    const QSize design(Pixels(6660), Pixels(5490));
    const QWidget* state = ModuleStateForm().parentWidget();
    const QWidget* global = GlobalSettingsForm().parentWidget();
    const int menu = menuBar()->sizeHint().height();
    QSize size(qMax(design.width(), 2 * (DialogsRight() + DebugFrameSize().width())),
               qMax(design.height(), state->height() + global->height() + menu));
    if (const QScreen* s = screen()) {
        // Room for the frame that the window manager adds.
        size = size.boundedTo(s->availableGeometry().size() - QSize(16, 48));
    }
    return size;
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
    if (const auto twips = Twips(height)) {
        g_.BusInfoHeight = *twips;
    }
    if (const auto twips = Twips(width)) {
        g_.BusInfoWidth = *twips;
    }
    frame->move(area_->width() - frame->width(), 0);
    bus.DrawModules();
    frame->show();
}

void frmMain::Form_Activate() {
    link_->SetInputMode(1);
    PlaceBusView();

    QWidget* state = ModuleStateForm().parentWidget();
    QWidget* global = GlobalSettingsForm().parentWidget();
    state->move(0, 0);
    global->move(0, state->height());

    const QString section = Title();
    // Read once for all keys, from the user's own file if there is one.
    const IniReader settings(g_.Settings().InUse());
    const bool debug = ByteSetting(settings.Int(section, QStringLiteral("debug"))) == kDebugCode;
    g_.DebugEnabled = debug;
    mnuDebug->setVisible(debug);

    for (int n = 1; n <= 4; ++n) {
        link_->MapPort(n, DeviceSetting(settings.String(section, QStringLiteral("com%1").arg(n))));
    }
    const int comport = ByteSetting(settings.Int(section, QStringLiteral("comport")));
    if (comport >= 1 && comport <= 4) {
        g_.ComPort = static_cast<std::uint8_t>(comport);
        link_->SelectPort(comport);
        link_->OpenPort();
        link_->StartTimers();
    } else {
        ProgramSettingsForm();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    // A run or a scan under way ends here: nothing is sent once the window is gone.
    link_->RequestStop();
    link_->ClosePort();
    QMainWindow::closeEvent(event);
}

void frmMain::mnuExit_Click() {
    link_->StopTimers();
    // Ends at once, also in the middle of a scan or a run; the port goes first
    // so that no lock is left behind.
    link_->ClosePort();
    EndProgram();
}

QString frmMain::PortName(int port) const {
    return QStringLiteral("COM%1 (%2)").arg(port).arg(link_->Port().DeviceName(port));
}

QString frmMain::ReopenPort() {
    if (ExistingProgramSettingsForm()) {
        return tr("the COM port selection is open: choose the port there");
    }
    if (g_.ComPort < 1 || g_.ComPort > 4) {
        return tr("no COM port chosen: use Settings > Select COM port");
    }
    link_->SelectPort(g_.ComPort);
    const int error = link_->OpenPort();
    if (link_->Port().PortOpen()) {
        link_->StartTimers();
        return {};
    }
    return PortName(g_.ComPort) + QStringLiteral(": ") +
           OpenErrorReason(error, link_->Port().LastErrorText());
}

void frmMain::ClearBus() {
    g_.Bus.ModuleCount = 0;
    if (frmBackground* bus = ExistingBusForm()) {
        bus->DrawModules();
    }
    EnableApply(false);
}

void frmMain::EnableApply(bool ready) {
    applyReady_ = ready;
    const bool enabled = ready && !link_->Busy();
    if (frmGlobalSettings* global = ExistingGlobalSettingsForm()) {
        global->cmdApply->setEnabled(enabled);
    }
    if (frmModuleState* state = ExistingModuleStateForm()) {
        state->cmdApply->setEnabled(enabled);
    }
}

void frmMain::ShowBusy(bool busy) {
    mnuRefresh->setEnabled(!busy);
    mnuSelectCOMport->setEnabled(!busy);
    if (frmProgramSettings* ports = ExistingProgramSettingsForm()) {
        ports->cmdOK->setEnabled(!busy);
    }
    EnableApply(applyReady_);
    if (busy != busyCursor_) {
        busyCursor_ = busy;
        if (busy) {
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    }
}

void frmMain::OnLinkLost(const QString& reason) {
    ClearBus();
    QString text = tr("Connection lost on %1: %2.").arg(PortName(link_->Port().CommPort()), reason);
    if (const std::optional<int> found = std::exchange(scanCut_, std::nullopt)) {
        text += tr("\r\nThe scan stopped after %1 %2.")
                    .arg(*found)
                    .arg(*found == 1 ? tr("module") : tr("modules"));
    }
    text += tr("\r\nReconnect the adapter, then choose Refresh.");
    g_.MsgBox(text, MessageIcon::Critical, tr("Connection Error"));
}

void frmMain::ReportNoModules(const QString& reason) {
    QString text = QString::fromLatin1(kNoModulesText);
    if (!reason.isEmpty()) {
        text += QStringLiteral("\r\n") + reason;
    }
    ClearBus();
    g_.MsgBox(text, MessageIcon::Critical, QStringLiteral("Connection Error"));
    g_.Bus.MinVersion = 255;
    GlobalSettingsForm().SetProperties();
}

void frmMain::mnuRefresh_Click() {
    if (link_->Busy()) {
        return;  // one exchange on the line at a time
    }
    if (!link_->Port().PortOpen()) {
        // Nothing can answer on a closed port; say what keeps it closed.
        if (const QString why = ReopenPort(); !why.isEmpty()) {
            ReportNoModules(why);
            return;
        }
    }
    auto* scan = new BusScan(*link_);
    connect(scan, &BusScan::finished, this, &frmMain::ShowScanOutcome);
    scan->Start();
}

void frmMain::ShowScanOutcome(ScanOutcome outcome) {
    switch (outcome) {
        case ScanOutcome::Foreign:
            ClearBus();  // nothing of it may be programmed
            g_.MsgBox(QString::fromLatin1(kForeignModuleText), MessageIcon::Critical,
                      QStringLiteral("Warning!"));
            break;
        case ScanOutcome::Found:
            BusForm().DrawModules();
            GlobalSettingsForm().SetProperties();
            ModuleStateForm();
            EnableApply(true);
            break;
        case ScanOutcome::NoneFound:
            ReportNoModules({});
            break;
        case ScanOutcome::LinkLost:
            scanCut_ = g_.Bus.ModuleCount;  // said with the loss, which follows
            break;
        case ScanOutcome::Stopped:
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
    if (!link_->Busy()) {  // it closes the port for its test
        ProgramSettingsForm();
    }
}

QString frmMain::AboutText() const {
    const MSComm& port = link_->Port();
    const QString inUse = g_.ComPort >= 1 && g_.ComPort <= 4
                              ? port.DescribePort(g_.ComPort).section(QLatin1Char('\n'), 0, 0) +
                                    (port.PortOpen() ? QString() : QStringLiteral(" (not open)"))
                              : QStringLiteral("none chosen");
    return QStringLiteral("%1 Version %2.%3%4\r\n\r\n%5\r\n\r\nPort: %6\r\nSettings: %7")
        .arg(Title())
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision)
        .arg(QStringLiteral("Inspects and configures QUORVAL fibre-optic CAN coupler systems."))
        .arg(inUse, QDir::toNativeSeparators(g_.Settings().InUse()));
}

void frmMain::mnuAbout_Click() {
    g_.MsgBox(AboutText(), MessageIcon::Information, QStringLiteral("About"));
}

}  // namespace quorval

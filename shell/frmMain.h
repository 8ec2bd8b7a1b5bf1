#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>

#include "common/Ini.h"
#include "config/frmGlobalSettings.h"
#include "config/frmModuleState.h"
#include "config/frmProgress.h"
#include "link/ModuleLink.h"
#include "quorval/Version.h"
#include "session/BusScan.h"
#include "shell/frmProgramSettings.h"
#include "ui/ChildForm.h"
#include "view/frmBackground.h"
#include "view/frmDebug.h"

namespace quorval {

struct Global;

// The main window: the multi-document area that holds every other window, the
// menus, and the owner of the link to the modules.
class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kVersionMajor = version::kMajor;
    static constexpr int kVersionMinor = version::kMinor;
    static constexpr int kVersionRevision = version::kPatch;

    frmMain(Global& g, std::unique_ptr<MSComm> port,
            const SettingsFiles& settings = DefaultSettingsFiles(), QWidget* parent = nullptr);
    ~frmMain() override;

    ModuleLink& Link() { return *link_; }
    QMdiArea& Area() { return *area_; }

    // The child windows, each created and shown on first use.
    frmDebug& DebugForm() { return debug_.Get(); }
    frmDebug* ExistingDebugForm() const { return debug_.Existing(); }
    frmBackground& BusForm() { return bus_.Get(); }
    frmBackground* ExistingBusForm() const { return bus_.Existing(); }
    frmModuleState& ModuleStateForm() { return moduleState_.Get(); }
    frmModuleState* ExistingModuleStateForm() const { return moduleState_.Existing(); }
    frmGlobalSettings& GlobalSettingsForm() { return globalSettings_.Get(); }
    frmGlobalSettings* ExistingGlobalSettingsForm() const { return globalSettings_.Existing(); }
    frmProgress& ProgressForm() { return progress_.Get(); }
    frmProgress* ExistingProgressForm() const { return progress_.Existing(); }
    frmProgramSettings& ProgramSettingsForm() { return programSettings_.Get(); }
    frmProgramSettings* ExistingProgramSettingsForm() const { return programSettings_.Existing(); }

    void mnuExit_Click();
    void mnuRefresh_Click();
    void mnuDebug_Click();
    void mnuSelectCOMport_Click();
    void mnuAbout_Click();

    // How Exit ends the program; tests replace it.
    std::function<void()> EndProgram;

    QAction* mnuExit;
    QAction* mnuRefresh;
    QMenu* mnuProgramSettings;
    QAction* mnuDebug;
    QAction* mnuSelectCOMport;
    QAction* mnuAbout;

    QString AboutText() const;

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Places the windows, reads the settings and opens the stored port (or
    // offers the port selection). Runs once, when the window is first shown.
    void Form_Activate();
    void PlaceBusView();
    // Where the dialogs end on the left; the start-up size that shows them whole.
    int DialogsRight() const;
    int DialogsBottom() const;
    QSize FirstSize();
    // The debug window's outer size as it opens, and where it hides nothing.
    QSize DebugFrameSize();
    QPoint DebugPlace(const QSize& size) const;
    // "COM1 (/dev/ttyUSB0)": a port as the technician can find it.
    QString PortName(int port) const;
    // Opens the port last chosen again; empty when it is open, else why not.
    QString ReopenPort();
    // The device went away: forget the modules and say so, once.
    void OnLinkLost(const QString& reason);
    // No stale modules on screen and nothing to apply them to.
    void ClearBus();
    // Both Apply buttons follow the last scan, and wait while the line is busy.
    void EnableApply(bool ready);
    // While an exchange waits on the line, nothing can start another.
    void ShowBusy(bool busy);
    void ReportNoModules(const QString& reason);
    void ShowScanOutcome(ScanOutcome outcome);

    Global& g_;
    QMdiArea* area_;
    ModuleLink* link_;
    ChildForm<frmDebug> debug_;
    ChildForm<frmModuleState> moduleState_;
    ChildForm<frmBackground> bus_;
    ChildForm<frmProgress> progress_;
    ChildForm<frmGlobalSettings> globalSettings_;
    ChildForm<frmProgramSettings> programSettings_;
    bool activatedOnce_ = false;
    std::optional<int> scanCut_;  // modules found by a scan that the loss ended
    bool applyReady_ = false;     // the last scan found the system
    bool busyCursor_ = false;
};

}  // namespace quorval

#pragma once

#include <memory>

#include <QMainWindow>
#include <QMdiArea>

#include "config/frmGlobalSettings.h"
#include "config/frmModuleState.h"
#include "config/frmProgress.h"
#include "link/ModuleLink.h"
#include "link/frmDebug.h"
#include "shell/ChildForm.h"
#include "view/frmBackground.h"

namespace quorval {

struct Global;

// The main window: the multi-document area that holds every other window, and
// the owner of the link to the modules.
class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    frmMain(Global& g, std::unique_ptr<MSComm> port, QWidget* parent = nullptr);

    ModuleLink& Link() { return *link_; }
    QMdiArea& Area() { return *area_; }
    // The debug window, created and shown if it does not exist.
    frmDebug& DebugForm() { return debug_.Get(); }
    frmDebug* ExistingDebugForm() const { return debug_.Existing(); }

    // "&Refresh": scans the system and shows what answered.
    void mnuRefresh_Click();
    // The other child windows, each created and shown on first use.
    frmBackground& BusForm() { return bus_.Get(); }
    frmBackground* ExistingBusForm() const { return bus_.Existing(); }
    frmModuleState& ModuleStateForm() { return moduleState_.Get(); }
    frmModuleState* ExistingModuleStateForm() const { return moduleState_.Existing(); }
    frmGlobalSettings& GlobalSettingsForm() { return globalSettings_.Get(); }
    frmGlobalSettings* ExistingGlobalSettingsForm() const { return globalSettings_.Existing(); }
    frmProgress& ProgressForm() { return progress_.Get(); }
    frmProgress* ExistingProgressForm() const { return progress_.Existing(); }

  private:
    Global& g_;
    QMdiArea* area_;
    ModuleLink* link_;
    ChildForm<frmDebug> debug_;
    ChildForm<frmModuleState> moduleState_;
    ChildForm<frmBackground> bus_;
    ChildForm<frmProgress> progress_;
    ChildForm<frmGlobalSettings> globalSettings_;
};

}  // namespace quorval

#pragma once

#include <functional>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "model/GlobalSettingsModel.h"

namespace quorval {

struct Global;
class ModuleLink;
class frmProgress;

// "Global Settings": the settings every module must share, programmed into all.
class frmGlobalSettings : public QWidget {
    Q_OBJECT
  public:
    using ProgressAccess = std::function<frmProgress&()>;

    frmGlobalSettings(Global& g, ModuleLink& link, ProgressAccess progress,
                      QWidget* parent = nullptr);

    // Rebuilds the baud rate list and option rules from the lowest firmware seen.
    void SetProperties();
    // Shows the configuration that the attached module reported.
    void ShowReportedMode(std::uint8_t mode);
    // Selects a baud rate as a user would (with the rules); false if not offered.
    bool SelectBaudrate(const QString& caption);
    // Programs every module of the last scan, the attached one last.
    void cmdApply_Click();

    const GlobalSettingsModel& Model() const { return model_; }

    QComboBox* cmbBaudrate;
    QRadioButton* optNetworkTopologiePointToPoint;
    QRadioButton* optNetworkTopologieLineOrRing;
    QRadioButton* optCANIdentifier11Bit;
    QRadioButton* optCANIdentifier29Bit;
    QComboBox* cmbErrorRelais;
    QCheckBox* chkWriteToEEPROM;
    QPushButton* cmdApply;

  private:
    void Render();

    Global& g_;
    ModuleLink& link_;
    ProgressAccess progress_;
    GlobalSettingsModel model_;
    QButtonGroup* Frame1;
    QButtonGroup* identifierGroup_;
};

}  // namespace quorval

#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace quorval {

class ModuleData;
class ModuleLink;

// "Module State": one module's data, and its error relay logic to change.
class frmModuleState : public QWidget {
    Q_OBJECT
  public:
    explicit frmModuleState(ModuleLink& link, QWidget* parent = nullptr);

    // Fills the fields from a module's record after a query.
    void ShowModule(int id, const ModuleData& record);
    // Sends the module in txtModulID its mode with the chosen relay logic; its
    // record and txtMode take the new mode once the frame has left.
    void cmdApply_Click();

    QLineEdit* txtModulID;
    QLineEdit* txtVersion;
    QLineEdit* txtMode;
    QComboBox* cmbErrorRelais;
    QLineEdit* txtErrorCounterCH1;
    QLineEdit* txtErrorCounterCH2;
    QCheckBox* chkWriteToEEPROM;
    QPushButton* cmdApply;

  private:
    ModuleLink& link_;
};

}  // namespace quorval

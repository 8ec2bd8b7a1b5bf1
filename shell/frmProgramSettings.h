#pragma once

#include <array>
#include <vector>

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "link/MSComm.h"

namespace quorval {

struct Global;
class ModuleLink;

// "Program settings": tests COM1..COM4 as it opens, offers those that can be
// opened once the tests have ended, and opens the one chosen.
class frmProgramSettings : public QWidget {
    Q_OBJECT
  public:
    frmProgramSettings(Global& g, ModuleLink& link, QWidget* parent = nullptr);

    void cmdOK_Click();

    QGroupBox* Frame1;
    QRadioButton* optCom1;
    QRadioButton* optCom2;
    QRadioButton* optCom3;
    QRadioButton* optCom4;
    QPushButton* cmdOK;

  private:
    void ShowTests(const std::vector<PortTest>& tests);
    // True when the port could be opened; otherwise marks why not.
    bool DetectComPorts(int port, const PortTest& test);
    QRadioButton* Option(int port) const;

    Global& g_;
    ModuleLink& link_;
};

}  // namespace quorval

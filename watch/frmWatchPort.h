#pragma once

#include <array>
#include <vector>

#include <QDialog>
#include <QRadioButton>

#include "link/MSComm.h"

class QPushButton;

namespace quorval {

// Asks for the port when the setup tool has none chosen: COM1..COM4 tested and
// captioned as "Select COM port" does, the ones that cannot be opened disabled.
// The tests run once it is open; the ports are offered when they have ended.
class frmWatchPort : public QDialog {
    Q_OBJECT
  public:
    frmWatchPort(MSComm& port, QWidget* parent = nullptr);

    // 1..4, or 0 when none was chosen.
    int Chosen() const;

    std::array<QRadioButton*, 4> optCom{};

  private:
    void ShowTests(const std::vector<PortTest>& tests);

    MSComm& port_;
    QPushButton* ok_;
};

}  // namespace quorval

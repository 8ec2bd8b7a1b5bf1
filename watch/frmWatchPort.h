#pragma once

#include <array>

#include <QDialog>
#include <QRadioButton>

#include "link/MSComm.h"

namespace quorval {

// Asks for the port when the setup tool has none chosen: COM1..COM4 tested and
// captioned as "Select COM port" does, the ones that cannot be opened disabled.
class frmWatchPort : public QDialog {
    Q_OBJECT
  public:
    frmWatchPort(MSComm& port, QWidget* parent = nullptr);

    // 1..4, or 0 when none was chosen.
    int Chosen() const;

    std::array<QRadioButton*, 4> optCom{};
};

}  // namespace quorval

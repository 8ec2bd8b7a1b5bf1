#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace quorval {

// "Progress State": how far a programming run has come.
class frmProgress : public QWidget {
    Q_OBJECT
  public:
    // moduleCount sets the range (0 keeps 0..100).
    explicit frmProgress(int moduleCount, QWidget* parent = nullptr);

    // A new run: caption, range from the module count, value 0, OK disabled.
    void StartRun(const QString& caption, int moduleCount);

    QProgressBar* ProgressBar;
    QPushButton* cmdOK;
};

}  // namespace quorval

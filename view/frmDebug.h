#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace quorval {

// "Debug": the byte counts and hex dumps of what the port delivered.
class frmDebug : public QWidget {
    Q_OBJECT
  public:
    explicit frmDebug(QWidget* parent = nullptr);

    // Appends a line and brings it into view.
    void AddLine(const QString& line);
    // Its classic size, or what the button needs: a list is happy in any size,
    // and the window must fit beside the dialogs.
    QSize sizeHint() const override;

    QListWidget* lstDebugOutput;
    QPushButton* cmdClearDebugOutput;
};

}  // namespace quorval

#include "view/frmDebug.h"

#include <QLayout>
#include <QVBoxLayout>

#include "geometry/Twips.h"

namespace quorval {

frmDebug::frmDebug(QWidget* parent)
    : QWidget(parent),
      lstDebugOutput(new QListWidget(this)),
      cmdClearDebugOutput(new QPushButton(tr("&Clear debug output list"), this)) {
    setWindowTitle(tr("Debug"));
    setMinimumSize(Pixels(3255), Pixels(3030));  // the frame fixes the size
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(lstDebugOutput, 1);
    layout->addWidget(cmdClearDebugOutput);
    lstDebugOutput->setFont(QFont(QStringLiteral("monospace")));
    lstDebugOutput->setUniformItemSizes(true);  // long sessions add many lines
    lstDebugOutput->setAccessibleName(tr("Debug output"));
    connect(cmdClearDebugOutput, &QPushButton::clicked, lstDebugOutput, &QListWidget::clear);
}

QSize frmDebug::sizeHint() const {
    return minimumSize().expandedTo(layout()->minimumSize());
}

void frmDebug::AddLine(const QString& line) {
    lstDebugOutput->addItem(line);
    lstDebugOutput->setCurrentRow(lstDebugOutput->count() - 1);
    lstDebugOutput->scrollToBottom();
}

}  // namespace quorval

#include "config/frmProgress.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "geometry/Twips.h"
#include "ui/DialogParts.h"

namespace quorval {

frmProgress::frmProgress(int moduleCount, QWidget* parent)
    : QWidget(parent),
      ProgressBar(new QProgressBar(this)),
      cmdOK(new QPushButton(tr("&OK"), this)) {
    setWindowTitle(tr("Progress State"));
    setMinimumSize(Pixels(4065), Pixels(1110));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(ProgressBar);
    auto* row = new QHBoxLayout();
    row->addStretch();
    row->addWidget(cmdOK);
    row->addStretch();
    layout->addLayout(row);
    cmdOK->setEnabled(false);
    ProgressBar->setMinimum(0);
    ProgressBar->setMaximum(moduleCount != 0 ? moduleCount : 100);
    ProgressBar->setValue(0);
    connect(cmdOK, &QPushButton::clicked, this, [this] { CloseChildWindow(*this); });
    // The bar has no label: the caption says what it counts.
    ProgressBar->setAccessibleName(windowTitle());
    connect(this, &QWidget::windowTitleChanged, ProgressBar, &QWidget::setAccessibleName);
}

void frmProgress::StartRun(const QString& caption, int moduleCount) {
    setWindowTitle(caption);
    cmdOK->setEnabled(false);
    ProgressBar->setMinimum(0);
    ProgressBar->setMaximum(moduleCount != 0 ? moduleCount : 100);
    ProgressBar->setValue(0);
}

}  // namespace quorval

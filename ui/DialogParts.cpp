#include "ui/DialogParts.h"

#include <QComboBox>
#include <QWidget>

#include "model/ModeByte.h"

namespace quorval {

void SetUpRelayCombo(QComboBox& combo) {
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    combo.clear();
    for (const char* caption : kRelayCaptions) {
        combo.addItem(QString::fromLatin1(caption));
    }
    combo.setCurrentIndex(1);
}

void CloseChildWindow(QWidget& form) {
    QWidget* frame = form.parentWidget();
    if (frame && frame->inherits("QMdiSubWindow")) {
        frame->close();
    } else {
        form.close();
    }
}

}  // namespace quorval

#include "ui/MessageBoxes.h"

#include <QMessageBox>

namespace quorval {

QMessageBox* OpenMessageBox(QWidget* parent, const QString& text, MessageIcon icon,
                            const QString& title) {
    auto* box = new QMessageBox(
        icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
        QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

MessageBoxFn MessageBoxes(std::function<QWidget*()> parent) {
    return
        [parent = std::move(parent)](const QString& text, MessageIcon icon, const QString& title) {
            OpenMessageBox(parent ? parent() : nullptr, text, icon, title);
        };
}

}  // namespace quorval

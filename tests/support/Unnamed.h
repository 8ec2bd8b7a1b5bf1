#pragma once

#include <QAccessible>
#include <QWidget>

namespace testing_support {

// The fields of a window that a screen reader cannot name by a label: a text
// field, spin box or check box without a name, a combo box (named by its own
// text) without a label.
inline QStringList Unnamed(const QWidget& window) {
    QStringList out;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const QWidget* up = w->parentWidget();
        if (up->inherits("QComboBox") || up->inherits("QAbstractSpinBox"))
            continue;  // their own text part
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const bool field =
            w->inherits("QLineEdit") || w->inherits("QCheckBox") || w->inherits("QAbstractSpinBox");
        if (w->inherits("QComboBox") ? a->relations(QAccessible::Label).isEmpty()
                                     : field && a->text(QAccessible::Name).isEmpty())
            out << w->metaObject()->className() + QStringLiteral(" %1").arg(w->y());
    }
    return out;
}

}  // namespace testing_support

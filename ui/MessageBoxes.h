#pragma once

#include <functional>

#include <QString>

#include "model/Global.h"

class QMessageBox;
class QWidget;

namespace quorval {

// A message with one OK button, opened with open(): the caller and whatever
// runs beneath go on at once, the box waits for the user and is deleted when
// closed.
QMessageBox* OpenMessageBox(QWidget* parent, const QString& text, MessageIcon icon,
                            const QString& title);

// What a program puts in Global::MsgBox: every message such a box over the
// window that parent() names at that moment (none: a box of its own).
MessageBoxFn MessageBoxes(std::function<QWidget*()> parent);

}  // namespace quorval

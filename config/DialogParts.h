#pragma once

class QComboBox;
class QWidget;

namespace quorval {

// The relay combo box of both dialogs: the four captions, typing allowed,
// showing the second caption.
void SetUpRelayCombo(QComboBox& combo);

// The dialogs keep their classic small sizes; a compact font lets everything fit.
void UseCompactFont(QWidget& form);

// Closes a child window together with the frame around it.
void CloseChildWindow(QWidget& form);

}  // namespace quorval

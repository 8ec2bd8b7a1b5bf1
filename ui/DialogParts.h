#pragma once

class QComboBox;
class QWidget;

namespace quorval {

// The relay combo box of both dialogs: the four captions, typing allowed,
// showing the second caption.
void SetUpRelayCombo(QComboBox& combo);

// Closes a child window together with the frame around it.
void CloseChildWindow(QWidget& form);

}  // namespace quorval

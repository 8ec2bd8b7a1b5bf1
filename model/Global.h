#pragma once

#include <cstdint>
#include <functional>

#include <QString>

#include "common/SettingsFiles.h"
#include "model/ModuleTable.h"

namespace quorval {

enum class MessageIcon { Critical, Information };

// Shows a message with one OK button and returns at once: the application opens
// a box that waits for the user while the program goes on; tests put a recorder here.
using MessageBoxFn =
    std::function<void(const QString& text, MessageIcon icon, const QString& title)>;

// The state that all windows share. One object is owned by the application
// (tests make their own) and handed around by reference.
struct Global {
    // Module records, display order, ModuleCount and MinVersion.
    ModuleTable Bus;

    // Module ID of the last "G" answer: the module attached to the PC.
    std::int16_t GModuleID = 0;

    bool RxPending = false;
    bool DebugEnabled = false;
    std::uint8_t ComPort = 0;  // 1..4, 0 for none
    QString IniFileName;       // beside the executable
    QString IniUserFileName;   // the user's own, read instead once it exists
    SettingsFiles Settings() const { return {IniFileName, IniUserFileName}; }

    MessageBoxFn MsgBox = [](const QString&, MessageIcon, const QString&) {};

    // Outer size of the bus view in twips for its next opening.
    std::int16_t BusInfoHeight = 0;
    std::int16_t BusInfoWidth = 0;
};

}  // namespace quorval

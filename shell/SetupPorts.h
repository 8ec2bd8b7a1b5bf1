#pragma once

#include <array>

#include <QString>

namespace quorval {

// The port of the setup tool, as its settings file names it, for the tool's
// other programs (the command line, the watch window), so that COMn stands for
// the same device everywhere.
struct SetupPorts {
    int comport = 0;              // the chosen port, 1..4; 0 when none is chosen
    std::array<QString, 4> keys;  // com1..com4: a device, or empty for the rule
    QString file;                 // the settings file read
};

// Reads quorval-setup.ini beside this program, or the user's own copy.
SetupPorts ReadSetupPorts();

// The com1..com4 keys alone.
std::array<QString, 4> WindowComKeys();

}  // namespace quorval

#pragma once

#include <array>

#include <QString>

namespace quorval {

class MSComm;

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

// Points COM1..COM4 of the port at the devices the setup tool gives them and
// selects the one that `port` names: "COM3" as in the setup tool, or a device
// path, which COM1 is pointed at (a port reached by its number can be opened
// again). Returns the number selected; 0, and nothing selected, for no name.
int SelectPort(MSComm& comm, const QString& port, const SetupPorts& setup);

}  // namespace quorval

#pragma once

#include <vector>

#include "link/PortList.h"

namespace quorval {

// The serial ports the system has now, with what it knows of each (on Linux
// also their names under /dev/serial/by-id and /dev/serial/by-path).
std::vector<PortInfo> SystemPorts();

// A comN key and the device it leads to.
ComKey ComKeyFor(const QString& text);

}  // namespace quorval

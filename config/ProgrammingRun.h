#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace quorval {

struct Global;
class ModuleLink;

// The modules of the last scan in ascending ID, the one attached to the PC last.
std::vector<int> ProgrammingOrder(const Global& g);

struct ProgrammingResult {
    int sent = 0;    // frames queued at the port
    int failed = 0;  // frames that could not be written
};

// Sends one "S" or "W" frame with the mode to each module of the order,
// yielding to the event loop after each. writeToEeprom is asked afresh for
// every frame; progress gets the number of modules done so far.
ProgrammingResult ProgramModules(Global& g, ModuleLink& link, std::uint8_t mode,
                                 const std::vector<int>& order,
                                 const std::function<bool()>& writeToEeprom,
                                 const std::function<void(int done)>& progress);

}  // namespace quorval

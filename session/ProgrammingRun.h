#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

namespace quorval {

struct Global;
class ModuleLink;

// The modules of the last scan in ascending ID, the one attached to the PC last.
std::vector<int> ProgrammingOrder(const Global& g);

struct ProgrammingResult {
    int total = 0;             // modules in the run
    int sent = 0;              // frames handed to the device
    int failed = 0;            // frames the port refused, or lost with the device
    bool interrupted = false;  // the program was asked to stop; the rest was not sent
};

// "sent 4 of 6, failed 2" (", interrupted" when it was): what a run did, counted exactly.
QString RunSummary(const ProgrammingResult& result);

// Sends one "S" or "W" frame with the mode to each module of the order,
// yielding to the event loop after each, until a stop is requested. writeToEeprom is asked afresh
// for every frame; progress hears of each module as it is done, with the counts so far.
ProgrammingResult ProgramModules(
    Global& g, ModuleLink& link, std::uint8_t mode, const std::vector<int>& order,
    const std::function<bool()>& writeToEeprom,
    const std::function<void(int id, bool sent, const ProgrammingResult& soFar)>& progress);

}  // namespace quorval

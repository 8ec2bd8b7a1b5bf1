#pragma once

#include <cstdint>
#include <vector>

namespace quorval {

class ModuleData;
class ModuleTable;

// One module as a scan left it, as plain data: what snapshots, comparisons,
// watch logs and reports are made of. Nothing here touches the port.
struct ModuleState {
    int id = 0;
    char side = 0;  // the letter of its answer: 'G' attached to the PC, 'L' or 'R'
    std::uint8_t version = 0;
    std::uint8_t mode = 0;
    bool error1 = false;  // CAN channel 1 reports an error
    bool error2 = false;
    int count1 = 0;  // error counter of channel 1, 0..32767
    int count2 = 0;

    bool operator==(const ModuleState& o) const {
        return id == o.id && side == o.side && version == o.version && mode == o.mode &&
               error1 == o.error1 && error2 == o.error2 && count1 == o.count1 && count2 == o.count2;
    }
    bool operator!=(const ModuleState& o) const { return !(*this == o); }
};

ModuleState StateOf(const ModuleData& m);

// The modules of the last scan, in display order.
std::vector<ModuleState> ScannedModules(ModuleTable& table);

}  // namespace quorval

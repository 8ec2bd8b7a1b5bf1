#include "bus/ModuleState.h"

#include "bus/ModuleTable.h"

namespace quorval {

std::vector<ModuleState> ScannedModules(ModuleTable& table) {
    std::vector<ModuleState> modules;
    for (int i = 0; i < table.ModuleCount; ++i) {
        const ModuleData& m = table.Modules(table.ModuleOrder(i));
        modules.push_back({m.GetModuleID(), static_cast<char>(m.GetSide()), m.GetVersion(),
                           m.GetMode(), m.GetStatusChannel1(), m.GetStatusChannel2(),
                           m.GetErrorCounterChannel1(), m.GetErrorCounterChannel2()});
    }
    return modules;
}

}  // namespace quorval

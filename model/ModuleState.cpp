#include "model/ModuleState.h"

#include "model/ModuleTable.h"

namespace quorval {

ModuleState StateOf(const ModuleData& m) {
    return {m.GetModuleID(),
            static_cast<char>(m.GetSide()),
            m.GetVersion(),
            m.GetMode(),
            m.GetStatusChannel1(),
            m.GetStatusChannel2(),
            m.GetErrorCounterChannel1(),
            m.GetErrorCounterChannel2()};
}

std::vector<ModuleState> ScannedModules(ModuleTable& table) {
    std::vector<ModuleState> modules;
    for (int i = 0; i < table.ModuleCount; ++i) {
        modules.push_back(StateOf(table.Modules(table.ModuleOrder(i))));
    }
    return modules;
}

}  // namespace quorval

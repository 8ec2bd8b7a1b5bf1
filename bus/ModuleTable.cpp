#include "bus/ModuleTable.h"

namespace quorval {

ModuleTable::ModuleTable()
    : records_(kModuleSlots), order_(kModuleSlots, 0), found_(kModuleSlots, 0) {}

ModuleData& ModuleTable::Modules(int id) {
    if (!IsValidModuleID(id)) {
        // Never touches the real table nor MinVersion.
        outOfRange_ = std::make_unique<ModuleData>(outOfRangeMinVersion_);
        return *outOfRange_;
    }
    auto& slot = records_[static_cast<std::size_t>(id)];
    if (!slot) {
        slot = std::make_unique<ModuleData>(MinVersion);
    }
    return *slot;
}

bool ModuleTable::HasRecord(int id) const {
    return IsValidModuleID(id) && records_[static_cast<std::size_t>(id)] != nullptr;
}

std::int16_t ModuleTable::ModuleOrder(int position) const {
    if (position < 0 || position >= kModuleSlots) {
        return 0;
    }
    return order_[static_cast<std::size_t>(position)];
}

bool ModuleTable::IsInOrder(int id) const {
    const int count =
        ModuleCount < 0 ? 0 : (ModuleCount > kModuleSlots ? kModuleSlots : ModuleCount);
    for (int i = 0; i < count; ++i) {
        if (order_[static_cast<std::size_t>(i)] == id) {
            return true;
        }
    }
    return false;
}

bool ModuleTable::AppendToOrder(int id) {
    if (!IsValidModuleID(id) || ModuleCount < 0 || ModuleCount >= kModuleSlots) {
        return false;
    }
    order_[static_cast<std::size_t>(ModuleCount)] = static_cast<std::int16_t>(id);
    found_[static_cast<std::size_t>(ModuleCount)] = static_cast<std::int16_t>(id);
    ++ModuleCount;
    return true;
}

void ModuleTable::SortModulesBySide() {
    const int count = ModuleCount > kModuleSlots ? kModuleSlots : ModuleCount;
    if (count < 2) {
        return;
    }
    std::vector<std::int16_t> scratch(static_cast<std::size_t>(count), 0);
    int front = 1;
    int back = count - 1;
    for (int i = 1; i < count; ++i) {
        const std::int16_t id = found_[static_cast<std::size_t>(i)];
        if (Modules(id).GetSide() == kSideLeft) {
            scratch[static_cast<std::size_t>(front++)] = id;
        } else {
            scratch[static_cast<std::size_t>(back--)] = id;
        }
    }
    for (int i = 1; i < count; ++i) {
        order_[static_cast<std::size_t>(i)] = scratch[static_cast<std::size_t>(i)];
    }
}

}  // namespace quorval

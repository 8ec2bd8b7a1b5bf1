#include "model/ModuleTable.h"

#include <algorithm>

namespace quorval {

ModuleTable::ModuleTable(ModuleTable&& other) noexcept {
    *this = std::move(other);
}

ModuleTable& ModuleTable::operator=(ModuleTable&& other) noexcept {
    if (this != &other) {
        ModuleCount = other.ModuleCount;
        MinVersion = other.MinVersion;
        records_ = std::move(other.records_);
        order_ = std::move(other.order_);
        found_ = std::move(other.found_);
        outOfRange_ = std::move(other.outOfRange_);
        outOfRangeMinVersion_ = other.outOfRangeMinVersion_;
        for (auto& [id, record] : records_) {
            record.BindMinVersion(MinVersion);
        }
        if (outOfRange_) {
            outOfRange_->BindMinVersion(outOfRangeMinVersion_);
        }
        other.records_.clear();
        other.order_.clear();
        other.found_.clear();
        other.ModuleCount = 0;
    }
    return *this;
}

ModuleData& ModuleTable::Modules(int id) {
    if (!IsValidModuleID(id)) {
        // Never touches the real table nor MinVersion.
        outOfRange_ = std::make_unique<ModuleData>(outOfRangeMinVersion_);
        return *outOfRange_;
    }
    return records_.try_emplace(id, MinVersion).first->second;
}

std::int16_t ModuleTable::ModuleOrder(int position) const {
    if (position < 0 || position >= static_cast<int>(order_.size())) {
        return 0;  // never written
    }
    return order_[static_cast<std::size_t>(position)];
}

void ModuleTable::Reach(int count) {
    if (count > static_cast<int>(order_.size())) {
        // A system's worth at once rather than one step per module found.
        constexpr std::size_t kFirstCapacity = 64;
        order_.reserve(std::max(kFirstCapacity, order_.capacity()));
        found_.reserve(std::max(kFirstCapacity, found_.capacity()));
        order_.resize(static_cast<std::size_t>(count), 0);
        found_.resize(static_cast<std::size_t>(count));
    }
}

const ModuleData* ModuleTable::Find(int id) const {
    const auto it = records_.find(id);
    return it == records_.end() ? nullptr : &it->second;
}

int ModuleTable::PositionOf(int id) const {
    const int count = ModuleCount < 0 ? 0 : std::min<int>(ModuleCount, order_.size());
    for (int i = 0; i < count; ++i) {
        if (order_[static_cast<std::size_t>(i)] == id) {
            return i;
        }
    }
    return -1;
}

bool ModuleTable::AppendToOrder(int id) {
    if (!IsValidModuleID(id) || ModuleCount < 0 || ModuleCount >= kModuleSlots) {
        return false;
    }
    Reach(ModuleCount + 1);
    order_[static_cast<std::size_t>(ModuleCount)] = static_cast<std::int16_t>(id);
    found_[static_cast<std::size_t>(ModuleCount)] = {static_cast<std::int16_t>(id), &Modules(id)};
    ++ModuleCount;
    return true;
}

void ModuleTable::SortModulesBySide() {
    const int count = ModuleCount > kModuleSlots ? kModuleSlots : ModuleCount;
    if (count < 2) {
        return;
    }
    Reach(count);
    // Written straight into the order: found_ keeps the order appended.
    int front = 1;
    int back = count - 1;
    for (int i = 1; i < count; ++i) {
        const auto [id, record] = found_[static_cast<std::size_t>(i)];
        if ((record ? *record : Modules(id)).GetSide() == kSideLeft) {
            order_[static_cast<std::size_t>(front++)] = id;
        } else {
            order_[static_cast<std::size_t>(back--)] = id;
        }
    }
}

}  // namespace quorval

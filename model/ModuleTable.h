#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "model/ModuleData.h"

namespace quorval {

constexpr int kMaxModuleID = 32000;
constexpr int kModuleSlots = kMaxModuleID + 1;
constexpr std::uint8_t kSideLeft = 'L';

constexpr bool IsValidModuleID(int id) {
    return id >= 0 && id <= kMaxModuleID;
}

// The records by module ID, the display order and the lowest firmware version.
class ModuleTable {
  public:
    ModuleTable() = default;
    // Records lower the MinVersion of their own table, so a moved table takes
    // them along bound to its new place; copies would be bound to the old one.
    ModuleTable(ModuleTable&& other) noexcept;
    ModuleTable& operator=(ModuleTable&& other) noexcept;
    ModuleTable(const ModuleTable&) = delete;
    ModuleTable& operator=(const ModuleTable&) = delete;
    ~ModuleTable() = default;

    // The record of a module, created empty on first access. An ID outside
    // 0..32000 gets a detached, emptied record: reads see zeros, writes go nowhere.
    ModuleData& Modules(int id);

    // ID at a display position; 0 for a position outside the table.
    std::int16_t ModuleOrder(int position) const;
    // The record of a module if it has one; never creates one.
    const ModuleData* Find(int id) const;
    // True when the ID stands in one of the valid positions 0..ModuleCount-1.
    bool IsInOrder(int id) const { return PositionOf(id) >= 0; }
    // The first of those positions that holds the ID; -1 when none does.
    int PositionOf(int id) const;
    // Writes the ID at position ModuleCount and counts it; false (and nothing
    // changes) for an invalid ID or a full order.
    bool AppendToOrder(int id);

    // Keeps position 0; then the "L" modules in the order found, then all others
    // in reverse order found. Works from the order in which the modules were
    // appended, so sorting again (after more answers came in) gives the same
    // result as one sort over all of them.
    void SortModulesBySide();

    std::int16_t ModuleCount = 0;
    std::uint8_t MinVersion = 255;

  private:
    // Grows the order to count positions; those never written hold 0.
    void Reach(int count);

    // Created on first access and never moved, so references to them stay good.
    std::unordered_map<int, ModuleData> records_;
    // As long as the order has ever been: a table costs nothing until modules come.
    std::vector<std::int16_t> order_;
    // Positions 0..ModuleCount-1 in the order appended, with their records, so
    // that a sort after every pass does not look them up again.
    struct Found {
        std::int16_t id = 0;
        ModuleData* record = nullptr;
    };
    std::vector<Found> found_;
    std::unique_ptr<ModuleData> outOfRange_;
    std::uint8_t outOfRangeMinVersion_ = 255;
};

}  // namespace quorval

#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bus/ModuleData.h"

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
    ModuleTable();

    // The record of a module, created empty on first access. An ID outside
    // 0..32000 gets a detached, emptied record: reads see zeros, writes go nowhere.
    ModuleData& Modules(int id);
    // True when a record for this ID has been created.
    bool HasRecord(int id) const;

    // ID at a display position; 0 for a position outside the table.
    std::int16_t ModuleOrder(int position) const;
    // True when the ID stands in one of the valid positions 0..ModuleCount-1.
    bool IsInOrder(int id) const;
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
    std::vector<std::unique_ptr<ModuleData>> records_;
    std::vector<std::int16_t> order_;
    std::vector<std::int16_t> found_;  // positions 0..ModuleCount-1 in the order appended
    std::unique_ptr<ModuleData> outOfRange_;
    std::uint8_t outOfRangeMinVersion_ = 255;
};

}  // namespace quorval

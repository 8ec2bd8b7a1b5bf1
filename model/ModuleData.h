#pragma once

#include <cstdint>

namespace quorval {

// What the program knows of one module. SetVersion also lowers the table's
// lowest firmware version, so every record is bound to that counter.
class ModuleData {
  public:
    explicit ModuleData(std::uint8_t& minVersion) : minVersion_(&minVersion) {}
    // For the table that owns the record, when the table itself moves.
    void BindMinVersion(std::uint8_t& minVersion) { minVersion_ = &minVersion; }

    void SetVersion(std::uint8_t version);
    std::uint8_t GetVersion() const { return version_; }
    void SetModuleID(std::int16_t id) { modulID_ = id; }
    std::int16_t GetModuleID() const { return modulID_; }
    void SetErrorCounterChannel1(std::int16_t counter) { errorCounterChannel1_ = counter; }
    std::int16_t GetErrorCounterChannel1() const { return errorCounterChannel1_; }
    void SetStatusChannel1(bool status) { statusChannel1_ = status; }
    bool GetStatusChannel1() const { return statusChannel1_; }
    void SetErrorCounterChannel2(std::int16_t counter) { errorCounterChannel2_ = counter; }
    std::int16_t GetErrorCounterChannel2() const { return errorCounterChannel2_; }
    void SetStatusChannel2(bool status) { statusChannel2_ = status; }
    bool GetStatusChannel2() const { return statusChannel2_; }
    void SetMode(std::uint8_t mode) { mode_ = mode; }
    std::uint8_t GetMode() const { return mode_; }
    void SetTimeStamp(float seconds) { time_ = seconds; }
    float GetTimeStamp() const { return time_; }
    void SetSide(std::uint8_t side) { side_ = side; }
    std::uint8_t GetSide() const { return side_; }

  private:
    std::uint8_t* minVersion_;
    std::uint8_t mode_ = 0;
    std::uint8_t side_ = 0;
    std::uint8_t version_ = 0;
    std::int16_t modulID_ = 0;
    float time_ = 0.0f;
    bool statusChannel1_ = false;
    bool statusChannel2_ = false;
    std::int16_t errorCounterChannel1_ = 0;
    std::int16_t errorCounterChannel2_ = 0;
};

}  // namespace quorval

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "common/Clock.h"
#include "link/ReceiveBuffer.h"
#include "link/ResponseFrame.h"

namespace quorval {

class ModuleTable;

// What became of a valid frame in a parse pass.
enum class FrameOutcome {
    New,         // taken into the module table
    Repeat,      // a scan answer of a module already in the display order
    OutOfRange,  // module ID above 32000: cannot be stored, skipped
};

// What a pass tells as it goes; either may be left empty.
struct ParseEvents {
    // Eleven received bytes as the debug window shows them (" 4C 05 ...").
    std::function<void(std::string_view line)> dumpLine;
    // Every valid frame once it has taken effect: the table then holds it and
    // the frames before it, not those after it.
    std::function<void(const ResponseFrame& frame, FrameOutcome outcome)> frame;
};

// Where a pass puts what it parsed.
struct ParseTarget {
    ModuleTable& table;
    std::int16_t& attachedId;  // GModuleID: the module of the last "G" answer
};

// The parse pass over the receive buffer, without port or timers: the window,
// the command line and the fuzzer run this one. It keeps only the debug dump's
// place between passes.
class ResponseParser {
  public:
    // Dumps the bytes not shown yet when debug is on, turns every whole frame
    // into module records, sorts the order after scan answers, and keeps an
    // incomplete frame at the start of the buffer for the next pass.
    void Pass(ReceiveBuffer& rx, const ParseTarget& to, bool debug, const TimeOfDay& clock,
              const ParseEvents& events = {});

  private:
    void Dump(const ReceiveBuffer& rx, const ParseEvents& events);
    void KeepTail(ReceiveBuffer& rx);

    // Bytes at the start of the buffer kept from the last pass (an incomplete
    // frame); they have been dumped already.
    int dumpedPrefix_ = 0;
    // A dump line of fewer than 11 bytes, carried to the next pass.
    std::array<char, 3 * kResponseFrameSize> dumpLine_{};
    std::size_t dumpCount_ = 0;
};

}  // namespace quorval

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/WatchTracker.h"

namespace quorval {

// One module's two error counters over a watch, kept for plotting in bounded
// memory. A stretch of rounds with the same counters is one run, so a quiet
// module costs next to nothing however long the watch runs. When a module has
// kMaxRuns runs (a counter that changes in every round), the runs before the
// newest kRecent are merged into time slots of one width, doubled as often as
// it takes: recent rounds keep a point each, older ones are thinned evenly,
// and the history still reaches back to the start of the watch. Its events are
// kept the same way, a module gone or back before a counter that rose.
class CounterHistory {
  public:
    static constexpr std::size_t kMaxRuns = 8192;
    static constexpr std::size_t kMaxMarks = 1024;
    static constexpr std::size_t kRecent = 2048;  // runs never thinned
    static constexpr std::int64_t kMsPerTick = 10;

    // Times are ticks of kMsPerTick since the watch began: 497 days fit.
    struct Run {
        std::uint32_t from = 0;
        std::uint32_t to = 0;      // the last round of the run
        std::int16_t count1 = -1;  // -1: no sample (module missing, or no link)
        std::int16_t count2 = -1;
        bool Present() const { return count1 >= 0; }
    };
    struct Mark {
        std::uint32_t at = 0;
        WatchEventKind kind = WatchEventKind::Missing;
        std::uint8_t channel = 0;
        std::int16_t before = 0;
        std::int16_t after = 0;
    };

    // A round with the module's counters; Add(at) for a round without a sample.
    void Add(std::uint32_t at, int count1, int count2);
    void Add(std::uint32_t at) { Add(at, -1, -1); }
    void AddMark(std::uint32_t at, const WatchEvent& e);

    const std::vector<Run>& Runs() const { return runs_; }
    const std::vector<Mark>& Marks() const { return marks_; }

  private:
    std::vector<Run> runs_;
    std::vector<Mark> marks_;
    std::uint32_t runSlot_ = 0;  // ticks; 0 until the runs were first thinned
    std::uint32_t markSlot_ = 0;
};

}  // namespace quorval

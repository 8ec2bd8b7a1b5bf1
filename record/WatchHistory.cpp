#include "record/WatchHistory.h"

#include <algorithm>

namespace quorval {

namespace {

using Run = CounterHistory::Run;
using Mark = CounterHistory::Mark;

std::int16_t Count(int n) {
    return static_cast<std::int16_t>(std::clamp(n, -1, 32767));
}

std::uint64_t Length(const Run& r) {
    return std::uint64_t{r.to} - r.from + 1;
}

bool SameCounts(const Run& a, const Run& b) {
    return a.count1 == b.count1 && a.count2 == b.count2;
}

// Two neighbouring runs as one: the later counters over both, or no sample
// where that stretch was the longer one.
Run Merge(const Run& a, const Run& b) {
    Run m = b;
    m.from = a.from;
    if (a.Present() != b.Present()) {
        const Run& longer = Length(a) > Length(b) ? a : b;
        m.count1 = longer.count1;
        m.count2 = longer.count2;
    }
    return m;
}

// Which of two marks in one slot stays: a module gone or back outweighs a
// status change, which outweighs a counter that rose; else the later one.
int Weight(WatchEventKind k) {
    switch (k) {
        case WatchEventKind::Rose:
            return 0;
        case WatchEventKind::Error:
        case WatchEventKind::Ok:
        case WatchEventKind::Fell:
            return 1;
        default:
            return 2;
    }
}

Mark Stronger(const Mark& a, const Mark& b) {
    return Weight(a.kind) > Weight(b.kind) ? a : b;
}

std::uint32_t StartOf(const Run& r) {
    return r.from;
}

std::uint32_t StartOf(const Mark& m) {
    return m.at;
}

// Merges the items before the newest `recent` that start in the same time slot,
// the slot doubled until at most three quarters of `max` are left. The first
// slot spreads the old items over half of `max`.
template <typename T, typename MergeFn>
void Thin(std::vector<T>& items, std::uint32_t& slot, std::size_t max, std::size_t recent,
          const MergeFn& merge) {
    const std::size_t old = items.size() > recent ? items.size() - recent : items.size() / 2;
    if (old < 2) {
        return;
    }
    if (slot == 0) {
        const std::uint64_t span = StartOf(items[old - 1]) - StartOf(items.front());
        slot = static_cast<std::uint32_t>(std::min<std::uint64_t>(span / (max / 2) + 1, 1u << 31));
    }
    for (;;) {
        std::vector<T> kept;
        kept.reserve(items.size());
        for (std::size_t i = 0; i < old; ++i) {
            if (!kept.empty() && StartOf(kept.back()) / slot == StartOf(items[i]) / slot) {
                kept.back() = merge(kept.back(), items[i]);
            } else {
                kept.push_back(items[i]);
            }
        }
        kept.insert(kept.end(), items.begin() + static_cast<std::ptrdiff_t>(old), items.end());
        if (kept.size() <= max / 4 * 3 || slot >= (1u << 31)) {
            items.swap(kept);
            return;
        }
        slot *= 2;
    }
}

}  // namespace

void CounterHistory::Add(std::uint32_t at, int count1, int count2) {
    const Run next{at, at, Count(count1 < 0 ? -1 : count1), Count(count1 < 0 ? -1 : count2)};
    if (!runs_.empty() && SameCounts(runs_.back(), next)) {
        runs_.back().to = std::max(runs_.back().to, at);
        return;
    }
    if (runs_.size() >= kMaxRuns) {
        Thin(runs_, runSlot_, kMaxRuns, kRecent, Merge);
    }
    runs_.push_back(next);
}

void CounterHistory::AddMark(std::uint32_t at, const WatchEvent& e) {
    if (marks_.size() >= kMaxMarks) {
        Thin(marks_, markSlot_, kMaxMarks, kMaxMarks / 4, Stronger);
    }
    marks_.push_back(
        Mark{at, e.kind, static_cast<std::uint8_t>(e.channel), Count(e.before), Count(e.after)});
}

}  // namespace quorval

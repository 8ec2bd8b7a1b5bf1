#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QString>

#include "model/ModuleState.h"

namespace quorval {

// Something that changed from one round of a watch to the next.
enum class WatchEventKind {
    Missing,    // a module seen before did not answer
    Back,       // a missing module answers again
    New,        // a module not seen before in this watch
    Error,      // a channel reports an error (also when first seen with one)
    Ok,         // a channel in error reports none again
    Rose,       // a counter rose
    Fell,       // a counter went down: the module restarted or its counter was reset
    Foreign,    // a module with firmware 4.x: another make
    NoModules,  // nobody answered the scan
    LinkLost,   // the port went away or cannot be opened
    LinkBack,   // a scan got through again
};

struct WatchEvent {
    WatchEventKind kind = WatchEventKind::Missing;
    std::int64_t timeMs = 0;  // UTC, ms since 1970
    int round = 0;
    int id = -1;      // the module, -1 for the link and the whole system
    int channel = 0;  // 1 or 2 for a channel's events, else 0
    int before = 0;   // Rose, Fell: the counter before; Foreign: the firmware
    int after = 0;    // Rose, Fell: the counter now
    QString reason;   // LinkLost
};

// One module in a round: as it answered, or as last seen when it did not.
struct WatchSample {
    ModuleState state;
    bool present = true;
};

struct WatchRound {
    int number = 0;  // from 1
    std::int64_t timeMs = 0;
    bool linkUp = true;
    // Every module of the watch so far in display order, the missing ones where
    // they were last seen; empty in a round without link.
    std::vector<WatchSample> samples;
    std::vector<WatchEvent> events;
};

// What a watch keeps per channel of a module for its summary.
struct ChannelFigures {
    int gained = 0;       // errors counted during the watch
    int largestRise = 0;  // in one round
    int roundsInError = 0;
    int falls = 0;  // restarts or resets
};

struct ModuleFigures {
    int id = 0;
    int roundsMissing = 0;
    int foreignVersion = -1;  // the firmware of a module of another make, else -1
    std::array<ChannelFigures, 2> channel{};
};

// Turns the rounds of a watch into events and summary figures. Keeps only the
// last state of each module seen and its figures, never the history, so its
// memory does not grow with the length of the watch.
class WatchTracker {
  public:
    // A round whose scan got through: the modules that answered, in display order.
    WatchRound Feed(std::int64_t timeMs, const std::vector<ModuleState>& modules);
    // A round without link: the port went away or cannot be opened again.
    WatchRound FeedLinkLost(std::int64_t timeMs, const QString& reason);

    int Rounds() const { return rounds_; }
    std::int64_t FirstTimeMs() const { return firstMs_; }
    std::int64_t LastTimeMs() const { return lastMs_; }
    int RoundsWithoutLink() const { return roundsWithoutLink_; }
    int LinkLosses() const { return linkLosses_; }
    int RoundsWithoutModules() const { return roundsWithoutModules_; }
    // False while the link is lost (also when it has not come back by the end).
    bool LinkUp() const { return linkUp_; }
    // A counter rose, a channel was in error, a module went missing, a module of
    // another make was seen, or nobody answered.
    bool SomethingHappened() const;

    // The modules of the watch in display order, with their last state and figures.
    struct Known {
        WatchSample sample;
        ModuleFigures figures;
    };
    const std::vector<Known>& Modules() const { return known_; }

  private:
    WatchRound Begin(std::int64_t timeMs, bool linkUp);
    void Compare(const Known* before, Known& now, WatchRound& round) const;

    std::vector<Known> known_;
    std::vector<Known> next_;          // reused for each round
    std::vector<int> position_;        // module ID -> index in known_, -1 for none
    std::vector<unsigned char> seen_;  // module ID -> answered in the current round
    int rounds_ = 0;
    std::int64_t firstMs_ = 0;
    std::int64_t lastMs_ = 0;
    int roundsWithoutLink_ = 0;
    int linkLosses_ = 0;
    int roundsWithoutModules_ = 0;
    bool linkUp_ = true;
    bool baseline_ = false;  // a round got through: later modules are new
    bool lastEmpty_ = false;
};

}  // namespace quorval

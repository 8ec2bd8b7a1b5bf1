#include "record/WatchTracker.h"

#include <algorithm>

#include "model/Firmware.h"
#include "model/ModuleTable.h"

namespace quorval {

namespace {

WatchEvent Event(const WatchRound& round, WatchEventKind kind, int id, int channel = 0,
                 int before = 0, int after = 0) {
    WatchEvent e;
    e.kind = kind;
    e.timeMs = round.timeMs;
    e.round = round.number;
    e.id = id;
    e.channel = channel;
    e.before = before;
    e.after = after;
    return e;
}

bool ChannelError(const ModuleState& s, int channel) {
    return channel == 1 ? s.error1 : s.error2;
}

int ChannelCount(const ModuleState& s, int channel) {
    return channel == 1 ? s.count1 : s.count2;
}

}  // namespace

WatchRound WatchTracker::Begin(std::int64_t timeMs, bool linkUp) {
    ++rounds_;
    if (rounds_ == 1) {
        firstMs_ = timeMs;
    }
    lastMs_ = timeMs;
    WatchRound round;
    round.number = rounds_;
    round.timeMs = timeMs;
    round.linkUp = linkUp;
    return round;
}

WatchRound WatchTracker::FeedLinkLost(std::int64_t timeMs, const QString& reason) {
    WatchRound round = Begin(timeMs, false);
    ++roundsWithoutLink_;
    if (linkUp_) {
        ++linkLosses_;
        WatchEvent e = Event(round, WatchEventKind::LinkLost, -1);
        e.reason = reason;
        round.events.push_back(std::move(e));
        linkUp_ = false;
    }
    return round;
}

WatchRound WatchTracker::Feed(std::int64_t timeMs, const std::vector<ModuleState>& modules) {
    WatchRound round = Begin(timeMs, true);
    if (!linkUp_) {
        round.events.push_back(Event(round, WatchEventKind::LinkBack, -1));
        linkUp_ = true;
    }
    if (position_.empty()) {
        position_.assign(kModuleSlots, -1);
        seen_.assign(kModuleSlots, 0);
    }
    // Who answered, in the order of this scan.
    next_.clear();
    for (const ModuleState& m : modules) {
        if (!IsValidModuleID(m.id) || seen_[static_cast<std::size_t>(m.id)]) {
            continue;
        }
        seen_[static_cast<std::size_t>(m.id)] = 1;
        const int at = position_[static_cast<std::size_t>(m.id)];
        Known k{{m, true},
                at >= 0 ? known_[static_cast<std::size_t>(at)].figures : ModuleFigures{}};
        k.figures.id = m.id;
        next_.push_back(k);
    }
    const bool empty = next_.empty();
    // Who did not, each placed right after its neighbour of the last round.
    for (std::size_t i = 0; i < known_.size(); ++i) {
        if (seen_[static_cast<std::size_t>(known_[i].sample.state.id)]) {
            continue;
        }
        std::size_t at = 0;
        if (i > 0) {
            const int neighbour = known_[i - 1].sample.state.id;
            const auto it = std::find_if(next_.begin(), next_.end(), [neighbour](const Known& k) {
                return k.sample.state.id == neighbour;
            });
            at = static_cast<std::size_t>(it - next_.begin()) + 1;
        }
        Known k = known_[i];
        k.sample.present = false;
        next_.insert(next_.begin() + static_cast<std::ptrdiff_t>(std::min(at, next_.size())), k);
    }
    for (Known& k : next_) {
        const int at = position_[static_cast<std::size_t>(k.sample.state.id)];
        Compare(at >= 0 ? &known_[static_cast<std::size_t>(at)] : nullptr, k, round);
    }
    if (empty) {
        ++roundsWithoutModules_;
        if (!lastEmpty_) {
            round.events.push_back(Event(round, WatchEventKind::NoModules, -1));
        }
    }
    lastEmpty_ = empty;
    baseline_ = true;
    for (const ModuleState& m : modules) {
        if (IsValidModuleID(m.id)) {
            seen_[static_cast<std::size_t>(m.id)] = 0;
        }
    }
    known_.swap(next_);
    round.samples.reserve(known_.size());
    for (std::size_t i = 0; i < known_.size(); ++i) {
        position_[static_cast<std::size_t>(known_[i].sample.state.id)] = static_cast<int>(i);
        round.samples.push_back(known_[i].sample);
    }
    return round;
}

void WatchTracker::Compare(const Known* before, Known& now, WatchRound& round) const {
    const ModuleState& s = now.sample.state;
    ModuleFigures& f = now.figures;
    if (!now.sample.present) {
        ++f.roundsMissing;
        if (before && before->sample.present) {
            round.events.push_back(Event(round, WatchEventKind::Missing, s.id));
        }
        return;
    }
    if (!before && baseline_) {
        round.events.push_back(Event(round, WatchEventKind::New, s.id));
    } else if (before && !before->sample.present) {
        round.events.push_back(Event(round, WatchEventKind::Back, s.id));
    }
    const bool wasForeign = before && IsForeignFirmware(before->sample.state.version);
    if (IsForeignFirmware(s.version)) {
        f.foreignVersion = s.version;
        if (!wasForeign) {
            round.events.push_back(Event(round, WatchEventKind::Foreign, s.id, 0, s.version));
        }
    }
    for (int ch = 1; ch <= 2; ++ch) {
        ChannelFigures& c = f.channel[static_cast<std::size_t>(ch - 1)];
        const bool error = ChannelError(s, ch);
        const int count = ChannelCount(s, ch);
        c.roundsInError += error ? 1 : 0;
        if (!before) {
            if (error) {
                round.events.push_back(Event(round, WatchEventKind::Error, s.id, ch));
            }
            continue;
        }
        // Compared with the last state seen, also across rounds it was missing.
        const ModuleState& b = before->sample.state;
        if (error != ChannelError(b, ch)) {
            round.events.push_back(
                Event(round, error ? WatchEventKind::Error : WatchEventKind::Ok, s.id, ch));
        }
        const int old = ChannelCount(b, ch);
        if (count > old) {
            c.gained += count - old;
            c.largestRise = std::max(c.largestRise, count - old);
            round.events.push_back(Event(round, WatchEventKind::Rose, s.id, ch, old, count));
        } else if (count < old) {
            // It counts again from zero.
            ++c.falls;
            c.gained += count;
            c.largestRise = std::max(c.largestRise, count);
            round.events.push_back(Event(round, WatchEventKind::Fell, s.id, ch, old, count));
        }
    }
}

bool WatchTracker::SomethingHappened() const {
    if (roundsWithoutModules_ > 0) {
        return true;
    }
    for (const Known& k : known_) {
        const ModuleFigures& f = k.figures;
        if (f.roundsMissing > 0 || f.foreignVersion >= 0) {
            return true;
        }
        for (const ChannelFigures& c : f.channel) {
            if (c.gained > 0 || c.roundsInError > 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace quorval

#pragma once

#include <vector>

#include <QJsonObject>
#include <QString>

#include "model/ModuleState.h"

namespace quorval {

// What changed between a baseline (the system as commissioned) and now.
enum class Change {
    // Most serious first: the order in which differences are listed.
    Missing,        // in the baseline, not found now
    ChannelError,   // a channel reports an error now (whatever the baseline said)
    Configuration,  // a part of the configuration byte
    New,            // found now, not in the baseline
    Firmware,
    Side,
    Position,  // at another place of the ring than its neighbours suggest
    // Error counters: listed, but the system still matches.
    CounterFell,  // the module restarted or its counter was reset since
    CounterRose,
};

// Counters change in service; a change of theirs alone is no difference.
bool IsCounterChange(Change c);

struct Difference {
    Change change = Change::Missing;
    int module = 0;
    QString what;  // "missing", "CH2 status", "baud rate", "firmware", ...
    QString was;   // as text, empty where there is nothing to say
    QString now;
    int by = 0;  // a counter's change: now minus was
};

// The differences, most serious first; modules in display order within each kind.
std::vector<Difference> CompareSystems(const std::vector<ModuleState>& baseline,
                                       const std::vector<ModuleState>& now);

// True when anything differs beyond the counters.
bool SystemDiffers(const std::vector<Difference>& differences);

// "  310  baud rate: 125 → 250 KBit/s", "  415  missing (was position 4, side R)".
QString DifferenceLine(const Difference& d);
// The last line of a check: does the system match, and how many points differ.
QString Verdict(const std::vector<Difference>& differences, int modulesNow);
// What a counter's change means, after its numbers: " (+5)", " (module
// restarted or counter reset)"; empty for other differences.
QString CounterNote(const Difference& d);
// {module, what, was, now}
QJsonObject DifferenceJson(const Difference& d);

}  // namespace quorval

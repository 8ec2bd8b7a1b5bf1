#pragma once

#include <cstdint>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "record/WatchHistory.h"
#include "record/WatchTracker.h"

namespace quorval {

// The words of a watch, the same on the command line and in a window.

// UTC, ISO 8601 with milliseconds: 2026-12-08T10:20:01.123Z.
QString WatchTimeText(std::int64_t timeMs);
// "1 h 02 min 03 s", "4 min 10 s", "7 s".
QString DurationText(std::int64_t ms);

// What happened, without its time: "module 310 CH2 counter rose 17 -> 22 (+5)".
QString WatchEventText(const WatchEvent& e);
// The time, then the text: one line of the command line's event list.
QString WatchEventLine(const WatchEvent& e);
// The value of the "event" field of an event object: "rose", "link_lost", ...
QString WatchEventName(WatchEventKind kind);
// An event as an object for JSON Lines, with its text.
QJsonObject WatchEventJson(const WatchEvent& e);

// A module's trend in one sentence, for those who cannot see the plot:
// "Module 1203, CH2 counter 0 to 21 in 54 s, 7 rises". Names the counters that
// moved (both as steady when neither did) and the stretches without answer.
QString TrendSummary(int id, const CounterHistory& history);

// Rounds and time span, then a line per module and channel where something
// happened; "nothing happened" when nothing did.
QStringList WatchSummary(const WatchTracker& t);

}  // namespace quorval

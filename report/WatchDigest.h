#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "geometry/PlotGeometry.h"
#include "model/ModuleState.h"
#include "record/WatchTracker.h"

namespace quorval {

// A channel where something happened during a watch (its counter rose or fell,
// or it was in error), or a module that went missing while both its channels
// stayed as they were: the counter (both) over time, thinned for the plot, and
// the events.
struct TrendPlot {
    int id = 0;
    int channel = 1;                 // 0: the module, both channels
    QStringList summary;             // the summary's lines about it
    std::vector<PlotSeries> series;  // nothing where the module was missing
    PlotSeries inError;              // of a channel: 1 while in error, else 0
    std::vector<PlotMark> marks;     // kind: the WatchEventKind
    std::vector<WatchEvent> events;  // the first few
    int moreEvents = 0;
};

// What a report shows of a watch log: the last watch in the file, as the
// watch itself would have summed it up.
struct WatchDigest {
    QString file;
    int watches = 0;  // in the file; the digest is of the last one
    std::int64_t earlierFromMs = 0;
    std::int64_t earlierToMs = 0;
    int rounds = 0;  // of the last watch, as read
    int firstRound = 0;
    int lastRound = 0;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    int roundsNotLogged = 0;   // numbers skipped: no link, or their rows unreadable
    int roundsLeftOut = 0;     // incomplete, or earlier than the round before
    int badRows = 0;           // in the whole file
    QStringList badRowSample;  // the first few, "FILE:LINE: why"
    QStringList summary;       // as the watch prints it
    std::vector<TrendPlot> plots;
    int plotsLeftOut = 0;                  // past kMaxTrendPlots
    std::vector<int> quiet;                // modules where nothing happened
    std::vector<ModuleState> lastModules;  // that answered the last round, in display order
};

constexpr int kMaxTrendPlots = 256;

struct WatchDigestRead {
    std::optional<WatchDigest> digest;
    QString error;  // "FILE:LINE: why" when the file is no watch log at all
};

// Reads the log twice, row by row, so that its size does not matter: once for
// the summary and which channels changed, once for their points, thinned as
// they come for plots laid out in `frame`. Rows that cannot be read are left
// out and counted; a round with fewer rows than modules known (cut off, or
// rows left out) is left out whole rather than taken as modules gone missing.
WatchDigestRead DigestWatchLog(const QString& path, const PlotFrame& frame);

}  // namespace quorval

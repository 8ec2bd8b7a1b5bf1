#pragma once

#include <QByteArray>
#include <QString>

#include "record/WatchTracker.h"

namespace quorval {

// The state of a watch after a round in Prometheus' text format, for
// node_exporter's textfile collector: every series carries the label `system`,
// so that several watches on one host can share the collector's directory.
// Link, rounds and the last round's time; per module whether it answered this
// round and its firmware and side as last seen; per module and CAN channel its
// error state and error counter as last seen.
QByteArray WatchMetricsText(const QString& system, const WatchRound& round,
                            const WatchTracker& tracker);

// Writes them whole: into a temporary file beside it (FILE.XXXXXX, a name the
// collector does not read, as it reads only *.prom) that is renamed over FILE.
// Empty on success, else "FILE: why not".
QString WriteWatchMetrics(const QString& path, const QString& system, const WatchRound& round,
                          const WatchTracker& tracker);

}  // namespace quorval

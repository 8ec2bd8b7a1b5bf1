#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "record/Snapshot.h"
#include "record/SystemCompare.h"
#include "report/WatchDigest.h"

namespace quorval {

// Everything a report shows, as plain data: it never talks to the port.
struct ReportData {
    QString title;
    Snapshot state;  // the system reported on
    struct Baseline {
        QString file;
        Snapshot snapshot;
        std::vector<Difference> differences;  // of state against snapshot
    };
    std::optional<Baseline> baseline;
    std::optional<WatchDigest> watch;
    QString stateFrom;  // where the state came from when not from a scan or snapshot
    QString writtenBy;  // program and version
    QDateTime written;
};

// One self-contained HTML page, well-formed XML: header, ring, module table
// and, with a baseline, the differences; with a watch log, its summary and a
// trend plot per channel where something happened. No script and no reference to
// anything outside the file; print styles for A4.
QByteArray ReportXhtml(const ReportData& data);

}  // namespace quorval

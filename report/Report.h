#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "bus/Snapshot.h"
#include "bus/SystemCompare.h"

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
    QString writtenBy;  // program and version
    QDateTime written;
};

// One self-contained HTML page, well-formed XML: header, ring, module table
// and, with a baseline, the differences. No script and no reference to
// anything outside the file; print styles for A4.
QByteArray ReportXhtml(const ReportData& data);

}  // namespace quorval

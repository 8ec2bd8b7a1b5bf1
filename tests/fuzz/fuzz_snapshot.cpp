// Any bytes as a snapshot file: refused with a message, or read into modules
// that survive writing and reading again, and make a report that is well-formed.

#include <cstdlib>

#include "WellFormedReport.h"
#include "record/Snapshot.h"
#include "report/Report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const quorval::SnapshotRead read = quorval::ParseSnapshot(bytes, QStringLiteral("fuzz.json"));
    if (!read.snapshot) {
        if (read.error.isEmpty()) {
            std::abort();  // a refusal always says why
        }
        return 0;
    }
    const quorval::SnapshotRead again =
        quorval::ParseSnapshot(quorval::SnapshotJson(*read.snapshot), QStringLiteral("again"));
    if (!again.snapshot || again.snapshot->modules != read.snapshot->modules) {
        std::abort();  // what was read is written back whole
    }
    quorval::ReportData report;
    report.title = read.snapshot->port;
    report.state = *read.snapshot;
    AbortUnlessWellFormed(report);
    return 0;
}

// Any bytes as a watch log: read row by row and round by round into a watch;
// every row it takes lies within its ranges, nothing crashes, and the report
// of it is well-formed with plots no larger than their width allows.

#include <cstdlib>

#include <QTemporaryFile>

#include "WellFormedReport.h"
#include "model/ModuleTable.h"
#include "record/WatchLogReader.h"
#include "record/WatchText.h"
#include "report/Report.h"
#include "report/TrendSvg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryFile file;  // one file, rewritten for every input
    if (!file.isOpen() && !file.open()) {
        std::abort();
    }
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.flush();
    quorval::WatchLogReader reader(file.fileName());
    if (!reader.Open()) {
        return 0;
    }
    quorval::WatchLogRounds rounds(reader);
    quorval::WatchTracker watch;
    for (quorval::WatchLogRounds::Round r; rounds.Next(r);) {
        for (const quorval::ModuleState& m : r.present) {
            if (!quorval::IsValidModuleID(m.id) || m.count1 > 32767 || m.count2 > 32767 ||
                m.count1 < 0 || m.count2 < 0) {
                std::abort();
            }
        }
        for (const quorval::WatchEvent& e : watch.Feed(r.timeMs, r.present).events) {
            quorval::WatchEventText(e);
        }
    }
    quorval::WatchSummary(watch);

    const quorval::PlotFrame frame = quorval::TrendFrame();
    quorval::WatchDigestRead read = quorval::DigestWatchLog(file.fileName(), frame);
    if (!read.digest) {
        std::abort();  // the file opened once already
    }
    for (const quorval::TrendPlot& p : read.digest->plots) {
        for (const quorval::PlotSeries& s : p.series) {
            if (s.samples.size() > 9 * static_cast<std::size_t>(frame.width)) {
                std::abort();
            }
        }
    }
    quorval::ReportData report;
    report.state.modules = read.digest->lastModules;
    report.watch = std::move(read.digest);
    AbortUnlessWellFormed(report);
    return 0;
}

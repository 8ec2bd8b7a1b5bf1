// Any bytes as a watch log: read row by row and round by round into a watch;
// every row it takes lies within its ranges, and nothing crashes.

#include <cstdlib>

#include <QTemporaryFile>

#include "bus/ModuleTable.h"
#include "bus/WatchLogReader.h"
#include "bus/WatchText.h"

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
    return 0;
}

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QFile>
#include <QString>

#include "model/ModuleState.h"

namespace quorval {

// One row of a watch log; for a module that did not answer only the first four
// fields mean anything.
struct WatchLogRow {
    std::int64_t line = 0;
    std::int64_t timeMs = 0;
    int round = 0;
    bool present = false;
    ModuleState state;
};

// Reads a watch log row by row, whatever its size, in constant memory. Columns
// are found by their names in the header, so another order and extra columns
// are fine. Every row is checked; a bad one is reported with the file and its
// line, and reading goes on after it. A directory of day files is read as one
// log, the files in date order, one at a time; a day file that is no watch log
// is reported like a bad row.
class WatchLogReader {
  public:
    explicit WatchLogReader(const QString& path) : path_(path) {}

    // Opens the file and reads its header, or lists the directory's day files;
    // false when it cannot be read as a watch log at all, with Problem() saying why.
    bool Open();

    enum class Result { Row, Bad, End };
    // The next row; Bad with Problem() for a row that is not valid; End at the
    // end of the file (or when it cannot be read further: Problem() then says so).
    Result Next(WatchLogRow& row);

    const QString& Problem() const { return problem_; }
    const QString& Path() const { return path_; }

  private:
    enum Column {
        Time,
        Round,
        Id,
        Present,
        Side,
        Version,
        Mode,
        Ch1Error,
        Ch1Count,
        Ch2Error,
        Ch2Count,
        kColumns
    };

    enum class Line { Ok, TooLong, End };
    bool OpenFile(const QString& path);
    Line ReadLine();
    bool Split();
    Result Bad(const QString& what);
    QString Check(Column c, std::string_view value, WatchLogRow& row) const;

    QString path_;
    QStringList days_;  // of a directory, the ones still to read
    QString name_;      // of the file being read
    QFile file_;
    std::int64_t line_ = 0;              // the number of the line in text_
    int fieldCount_ = 0;                 // of the line in text_
    int columns_ = 0;                    // of the header
    std::array<int, kColumns> index_{};  // field of each column
    std::string text_;
    std::string header_;
    std::vector<std::string> fields_;  // reused for every row, so rows cost no allocations
    QString problem_;
};

// The rows of a log grouped into rounds: the rows that follow each other with
// one round number and time. A round number that does not grow starts another
// watch appended to the same file.
class WatchLogRounds {
  public:
    explicit WatchLogRounds(WatchLogReader& reader) : reader_(reader) {}

    struct Round {
        int number = 0;
        std::int64_t timeMs = 0;
        bool newWatch = false;
        std::vector<ModuleState> present;  // the modules that answered, in the log's order
        std::vector<int> missing;
    };
    // False after the last round. Bad rows are skipped; each one's text is
    // passed to onBad when it is set.
    bool Next(Round& r, const std::function<void(const QString&)>& onBad = nullptr);

  private:
    WatchLogReader& reader_;
    std::optional<WatchLogRow> held_;  // the first row of the next round
    int lastRound_ = 0;
};

}  // namespace quorval

#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QString>

#include "record/WatchTracker.h"

namespace quorval {

// The samples of a watch as CSV: one row per module per round, in display order.
constexpr const char* kWatchLogHeader =
    "time,round,id,present,side,version,mode,ch1_error,ch1_count,ch2_error,ch2_count";

// One row without its line end; a missing module has only time, round, id and present.
QByteArray WatchCsvRow(const QString& time, int round, const WatchSample& s);
// The same fields as an object for JSON Lines; a missing module's others are null.
QJsonObject WatchSampleJson(std::int64_t timeMs, int round, const WatchSample& s);

// Where the rows of a watch go, round by round.
class WatchLog {
  public:
    virtual ~WatchLog() = default;
    // False when the rows could not be written; Problem() says why.
    virtual bool Write(const WatchRound& round) = 0;
    virtual const QString& Problem() const = 0;
};

// Writes the rows of each round and flushes them when the round ends, so a watch
// ended at any moment loses at most the round in progress.
class WatchLogWriter : public WatchLog {
  public:
    // Appends to a file, created when missing; the header goes only into a new or
    // empty file. Refuses a directory, anything else that is no regular file, a
    // file that cannot be written and a file whose first line is another
    // header. Nothing and the reason, naming the file.
    static std::unique_ptr<WatchLogWriter> Open(const QString& path, QString& error);
    // What Open would refuse, without creating or changing anything; empty when fine.
    static QString Check(const QString& path);
    // Standard output, header first.
    static std::unique_ptr<WatchLogWriter> StandardOutput();

    // False when the rows could not be written, and none of them is left in the
    // file; Problem() says why.
    bool Write(const WatchRound& round) override;
    const QString& Problem() const override { return problem_; }

  private:
    WatchLogWriter() = default;

    QFile file_;
    QString name_;
    QByteArray pending_;  // the header and a line end still owed to the file
    QString problem_;
};

}  // namespace quorval

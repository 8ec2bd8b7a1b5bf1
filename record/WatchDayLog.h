#pragma once

#include <cstdint>
#include <memory>

#include <QDate>
#include <QString>
#include <QStringList>

#include "record/WatchLog.h"

namespace quorval {

// A watch log kept in a directory, one file a day: the rows of each round go to
// DIR/YYYY-MM-DD.csv of the round's UTC date, each file a watch log of its own
// with its header, so that a day can be handed over or thrown away alone.

// The UTC date of a time in ms since 1970.
QDate UtcDate(std::int64_t ms);
// "2026-12-08.csv".
QString DayFileName(const QDate& date);
// The date of a day file's name; invalid for every other name, so that nothing
// but exactly YYYY-MM-DD.csv with a real date counts as a day file.
QDate DayFileDate(const QString& name);
// The day files of a directory, oldest first.
QStringList DayFiles(const QString& dir);

class WatchDayLog : public WatchLog {
  public:
    // What Open would refuse, without creating anything: a path that is no
    // directory or cannot be made or written, a day file that is no watch log.
    static QString Check(const QString& dir, std::int64_t nowMs);
    // Makes the directory when missing. With keepDays > 0, the day files older
    // than keepDays days before the date of nowMs are removed now and at every
    // change of day. Nothing and the reason when the directory cannot be used.
    static std::unique_ptr<WatchDayLog> Open(const QString& dir, int keepDays, std::int64_t nowMs,
                                             QString& error);

    // Appends to the file of the round's date, with a header when it is new.
    bool Write(const WatchRound& round) override;
    const QString& Problem() const override { return problem_; }

  private:
    WatchDayLog() = default;
    void RemoveOld(const QDate& today) const;

    QString dir_;
    int keepDays_ = 0;
    QDate date_;  // of the rounds so far
    std::unique_ptr<WatchLogWriter> file_;
    QString problem_;
};

}  // namespace quorval

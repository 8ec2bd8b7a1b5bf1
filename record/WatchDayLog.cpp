#include "record/WatchDayLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorval {

QDate UtcDate(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).date();
}

QString DayFileName(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
}

QDate DayFileDate(const QString& name) {
    if (name.size() != 14 || !name.endsWith(QLatin1String(".csv"))) {
        return {};
    }
    // Written back, the date must give the same name: no other spelling counts.
    const QDate date = QDate::fromString(name.left(10), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() && DayFileName(date) == name ? date : QDate();
}

QStringList DayFiles(const QString& dir) {
    QStringList days;
    const QStringList names =
        QDir(dir).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (DayFileDate(name).isValid()) {
            days << name;  // the names sort as their dates do
        }
    }
    return days;
}

QString WatchDayLog::Check(const QString& dir, std::int64_t nowMs) {
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir()) {
        return QStringLiteral("%1 is not a directory").arg(dir);
    }
    if (!info.exists()) {
        // mkpath makes every missing level below the nearest one that exists.
        QFileInfo up(info.absoluteFilePath());
        while (!up.exists() && up.absoluteFilePath() != up.absolutePath()) {
            up = QFileInfo(up.absolutePath());
        }
        if (!up.isDir() || !up.isWritable()) {
            return QStringLiteral("cannot make the directory %1: %2 cannot be written")
                .arg(dir, QDir::toNativeSeparators(up.absoluteFilePath()));
        }
        return {};
    }
    if (!info.isWritable()) {
        return QStringLiteral("cannot write in the directory %1").arg(dir);
    }
    return WatchLogWriter::Check(QDir(dir).filePath(DayFileName(UtcDate(nowMs))));
}

std::unique_ptr<WatchDayLog> WatchDayLog::Open(const QString& dir, int keepDays, std::int64_t nowMs,
                                               QString& error) {
    error = Check(dir, nowMs);
    if (!error.isEmpty()) {
        return nullptr;
    }
    if (!QDir().mkpath(dir)) {
        error = QStringLiteral("cannot make the directory %1").arg(dir);
        return nullptr;
    }
    std::unique_ptr<WatchDayLog> log(new WatchDayLog());
    log->dir_ = dir;
    log->keepDays_ = keepDays;
    log->date_ = UtcDate(nowMs);  // this day's old files go now, not again with its first round
    log->RemoveOld(log->date_);
    return log;
}

void WatchDayLog::RemoveOld(const QDate& today) const {
    if (keepDays_ <= 0) {
        return;
    }
    const QDir dir(dir_);
    for (const QString& name : DayFiles(dir_)) {
        const QFileInfo file(dir.filePath(name));
        // A link named like a day file is not ours to throw away.
        if (DayFileDate(name).daysTo(today) > keepDays_ && !file.isSymLink()) {
            QFile::remove(file.filePath());
        }
    }
}

bool WatchDayLog::Write(const WatchRound& round) {
    const QDate date = UtcDate(round.timeMs);
    if (date != date_) {
        date_ = date;
        file_.reset();
        RemoveOld(date);
    }
    if (round.samples.empty()) {
        return true;  // a round without link has no rows, and makes no file
    }
    if (!file_) {
        file_ = WatchLogWriter::Open(QDir(dir_).filePath(DayFileName(date)), problem_);
        if (!file_) {
            return false;
        }
    }
    if (!file_->Write(round)) {
        problem_ = file_->Problem();
        file_.reset();  // opened afresh should the watch go on
        return false;
    }
    return true;
}

}  // namespace quorval

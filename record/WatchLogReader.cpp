#include "record/WatchLogReader.h"

#include <QDir>
#include <QFileInfo>

#include "common/Parse.h"
#include "model/ModuleTable.h"
#include "record/WatchDayLog.h"
#include "record/WatchLog.h"

namespace quorval {

namespace {

// Longer rows (their line end not counted) are no rows of a watch log; they
// are skipped, not kept.
constexpr qint64 kMaxLine = 4096;
// A row of the limit, a CR LF and the zero that readLine adds.
constexpr qint64 kLineBuffer = kMaxLine + 3;

constexpr std::array<const char*, 11> kNames = {"time",      "round",     "id",       "present",
                                                "side",      "version",   "mode",     "ch1_error",
                                                "ch1_count", "ch2_error", "ch2_count"};

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// 2026-12-08T10:20:01.123Z, the fraction optional (1 to 9 digits).
std::optional<std::int64_t> UtcTime(std::string_view s) {
    if (s.size() < 20 || s.back() != 'Z' || s[4] != '-' || s[7] != '-' || s[10] != 'T' ||
        s[13] != ':' || s[16] != ':') {
        return std::nullopt;
    }
    const auto y = ParseWhole(s.substr(0, 4), 1970, 9999);
    const auto mo = ParseWhole(s.substr(5, 2), 1, 12);
    const auto d = ParseWhole(s.substr(8, 2), 1, 31);
    const auto h = ParseWhole(s.substr(11, 2), 0, 23);
    const auto mi = ParseWhole(s.substr(14, 2), 0, 59);
    const auto sec = ParseWhole(s.substr(17, 2), 0, 59);
    if (!y || !mo || !d || !h || !mi || !sec) {
        return std::nullopt;
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (*y % 4 == 0 && *y % 100 != 0) || *y % 400 == 0;
    if (*d > kDays[*mo - 1] || (*mo == 2 && *d == 29 && !leap)) {
        return std::nullopt;
    }
    long long ms = 0;
    const std::string_view rest = s.substr(19, s.size() - 20);
    if (!rest.empty()) {
        const auto frac = ParseWhole(rest.substr(1), 0, 999999999);
        if (rest[0] != '.' || rest.size() > 10 || !frac) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            ms = ms * 10 + (i + 1 < rest.size() ? rest[i + 1] - '0' : 0);
        }
    }
    const long long days = DaysFromCivil(*y, *mo, *d);
    return ((days * 24 + *h) * 60 + *mi) * 60000 + *sec * 1000 + ms;
}

// "3.4": whole part and tenths of a firmware version byte.
std::optional<int> Version(std::string_view s) {
    const auto dot = s.find('.');
    if (dot == std::string_view::npos || dot + 2 != s.size()) {
        return std::nullopt;
    }
    const auto whole = ParseWhole(s.substr(0, dot), 0, 25);
    const auto tenth = ParseWhole(s.substr(dot + 1), 0, 9);
    if (!whole || !tenth || *whole * 10 + *tenth > 255) {
        return std::nullopt;
    }
    return static_cast<int>(*whole * 10 + *tenth);
}

}  // namespace

WatchLogReader::Line WatchLogReader::ReadLine() {
    text_.resize(static_cast<std::size_t>(kLineBuffer));
    const qint64 n = file_.readLine(text_.data(), kLineBuffer);
    if (n <= 0) {
        if (file_.error() != QFileDevice::NoError) {
            problem_ = QStringLiteral("%1: cannot be read after line %2: %3")
                           .arg(name_)
                           .arg(line_)
                           .arg(file_.errorString());
        }
        text_.clear();
        return Line::End;
    }
    text_.resize(static_cast<std::size_t>(n));
    ++line_;
    bool cut = false;
    // The rest of an overlong line is read in pieces and dropped.
    while (text_.back() != '\n' && !file_.atEnd()) {
        cut = true;
        char piece[1024];
        const qint64 m = file_.readLine(piece, sizeof piece);
        if (m <= 0 || piece[m - 1] == '\n') {
            break;
        }
    }
    if (line_ == 1 && text_.rfind("\xEF\xBB\xBF", 0) == 0) {
        text_.erase(0, 3);
    }
    while (!text_.empty() && (text_.back() == '\n' || text_.back() == '\r')) {
        text_.pop_back();
    }
    return cut || static_cast<qint64>(text_.size()) > kMaxLine ? Line::TooLong : Line::Ok;
}

// The fields of text_, quoted ones as CSV has them; false for an open quote.
bool WatchLogReader::Split() {
    std::size_t count = 0;
    std::size_t i = 0;
    const std::size_t n = text_.size();
    for (;;) {
        if (fields_.size() <= count) {
            fields_.emplace_back();
        }
        std::string& f = fields_[count++];
        f.clear();
        if (i < n && text_[i] == '"') {
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text_[i] == '"') {
                    if (i + 1 < n && text_[i + 1] == '"') {
                        f += '"';
                        ++i;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                f += text_[i];
            }
            if (!closed || (i < n && text_[i] != ',')) {
                return false;
            }
        } else {
            const std::size_t end = std::min(text_.find(',', i), n);
            f.assign(text_, i, end - i);
            i = end;
        }
        if (i >= n) {
            break;
        }
        ++i;  // the comma
    }
    fieldCount_ = static_cast<int>(count);
    return true;
}

bool WatchLogReader::Open() {
    if (QFileInfo(path_).isDir()) {
        const QDir dir(path_);
        for (const QString& name : DayFiles(path_)) {
            days_ << dir.filePath(name);
        }
        if (days_.isEmpty()) {
            problem_ = QStringLiteral("%1: no day files (YYYY-MM-DD.csv) in it").arg(path_);
            return false;
        }
        return true;  // each day file is opened when its turn comes
    }
    return OpenFile(path_);
}

bool WatchLogReader::OpenFile(const QString& path) {
    name_ = path;
    line_ = 0;
    file_.close();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        problem_ = QStringLiteral("%1: not a regular file").arg(path);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) {
        problem_ = QStringLiteral("%1: cannot be read: %2").arg(path, file_.errorString());
        return false;
    }
    problem_.clear();
    const Line l = ReadLine();
    if (l == Line::End) {
        problem_ =
            problem_.isEmpty() ? QStringLiteral("%1: empty, no header line").arg(path) : problem_;
        return false;
    }
    if (l == Line::TooLong || !Split()) {
        problem_ = QStringLiteral("%1:1: not the header of a watch log").arg(path);
        return false;
    }
    header_ = text_;
    const int columns = fieldCount_;
    for (std::size_t c = 0; c < kNames.size(); ++c) {
        index_[c] = -1;
        for (int i = 0; i < columns; ++i) {
            if (!EqualNoCase(TrimBlanks(fields_[static_cast<std::size_t>(i)]), kNames[c])) {
                continue;
            }
            if (index_[c] >= 0) {
                problem_ =
                    QStringLiteral("%1:1: column %2 twice").arg(path, QLatin1String(kNames[c]));
                return false;
            }
            index_[c] = i;
        }
        if (index_[c] < 0) {
            problem_ = QStringLiteral("%1:1: no column %2 (a watch log starts with %3)")
                           .arg(path, QLatin1String(kNames[c]), QLatin1String(kWatchLogHeader));
            return false;
        }
    }
    columns_ = columns;
    return true;
}

WatchLogReader::Result WatchLogReader::Bad(const QString& what) {
    problem_ = QStringLiteral("%1:%2: %3").arg(name_).arg(line_).arg(what);
    return Result::Bad;
}

QString WatchLogReader::Check(Column c, std::string_view v, WatchLogRow& row) const {
    const auto bad = [c, &v](const char* what) {
        return QStringLiteral("%1 '%2' is not %3")
            .arg(QLatin1String(kNames[c]),
                 QString::fromUtf8(v.data(),
                                   static_cast<qsizetype>(std::min<std::size_t>(v.size(), 40))),
                 QLatin1String(what));
    };
    switch (c) {
        case Time:
            if (const auto t = UtcTime(v)) {
                row.timeMs = *t;
                return {};
            }
            return bad("a UTC time such as 2026-12-08T10:20:01.123Z");
        case Round:
            if (const auto n = ParseWhole(v, 1, 2000000000)) {
                row.round = static_cast<int>(*n);
                return {};
            }
            return bad("a round number from 1");
        case Id:
            if (const auto n = ParseWhole(v, 0, kMaxModuleID)) {
                row.state.id = static_cast<int>(*n);
                return {};
            }
            return bad("a module ID from 0 to 32000");
        case Present:
        case Ch1Error:
        case Ch2Error:
            if (const auto n = ParseWhole(v, 0, 1)) {
                (c == Present    ? row.present
                 : c == Ch1Error ? row.state.error1
                                 : row.state.error2) = *n == 1;
                return {};
            }
            return bad("0 or 1");
        case Side:
            if (v.size() == 1 && v[0] >= 'A' && v[0] <= 'Z') {
                row.state.side = v[0];
                return {};
            }
            return bad("a capital letter");
        case Version:
            if (const auto n = quorval::Version(v)) {
                row.state.version = static_cast<std::uint8_t>(*n);
                return {};
            }
            return bad("a firmware version such as 3.4");
        case Mode:
            if (const auto n = ParseWhole(v, 0, 255, Radix::Hex)) {
                row.state.mode = static_cast<std::uint8_t>(*n);
                return {};
            }
            return bad("a byte in hex such as 05");
        case Ch1Count:
        case Ch2Count:
            if (const auto n = ParseWhole(v, 0, 32767)) {
                (c == Ch1Count ? row.state.count1 : row.state.count2) = static_cast<int>(*n);
                return {};
            }
            return bad("a counter from 0 to 32767");
        case kColumns:
            break;
    }
    return {};
}

WatchLogReader::Result WatchLogReader::Next(WatchLogRow& row) {
    for (;;) {
        if (!file_.isOpen()) {
            if (days_.isEmpty()) {
                return Result::End;
            }
            if (!OpenFile(days_.takeFirst())) {
                file_.close();
                return Result::Bad;  // the next day file goes on
            }
        }
        const Line l = ReadLine();
        if (l == Line::End) {
            if (!days_.isEmpty()) {
                file_.close();
                continue;
            }
            return Result::End;
        }
        if (l == Line::TooLong) {
            return Bad(
                QStringLiteral("longer than %1 bytes: not a row of a watch log").arg(kMaxLine));
        }
        if (TrimBlanks(text_).empty() || text_ == header_) {
            continue;  // blank, or the header of a log appended after
        }
        if (!Split()) {
            return Bad(QStringLiteral("a quoted field is not closed"));
        }
        if (fieldCount_ != columns_) {
            return Bad(
                QStringLiteral("%1 fields where the header has %2").arg(fieldCount_).arg(columns_));
        }
        row = WatchLogRow();
        row.line = line_;
        for (int c = 0; c < kColumns; ++c) {
            const auto column = static_cast<Column>(c);
            if (c > Present && !row.present) {
                break;  // a module that did not answer has nothing more
            }
            const std::string_view v =
                TrimBlanks(fields_[static_cast<std::size_t>(index_[static_cast<std::size_t>(c)])]);
            if (QString why = Check(column, v, row); !why.isEmpty()) {
                return Bad(why);
            }
        }
        return Result::Row;
    }
}

bool WatchLogRounds::Next(Round& r, const std::function<void(const QString&)>& onBad) {
    r = Round();
    bool any = false;
    for (;;) {
        WatchLogRow row;
        if (held_) {
            row = *held_;
            held_.reset();
        } else {
            const auto result = reader_.Next(row);
            if (result == WatchLogReader::Result::End) {
                return any;
            }
            if (result == WatchLogReader::Result::Bad) {
                if (onBad) {
                    onBad(reader_.Problem());
                }
                continue;
            }
        }
        if (any && (row.round != r.number || row.timeMs != r.timeMs)) {
            held_ = row;
            return true;
        }
        if (!any) {
            any = true;
            r.number = row.round;
            r.timeMs = row.timeMs;
            r.newWatch = lastRound_ == 0 || row.round <= lastRound_;
            lastRound_ = row.round;
        }
        if (row.present) {
            r.present.push_back(row.state);
        } else {
            r.missing.push_back(row.state.id);
        }
    }
}

}  // namespace quorval

#include "record/WatchLog.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonValue>

#include "common/OutputFile.h"
#include "model/ModuleText.h"
#include "record/WatchText.h"

namespace quorval {

namespace {

QByteArray Hex2(std::uint8_t byte) {
    return QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
}

// The first line of an existing file and whether the file ends with a line end.
struct Head {
    QByteArray firstLine;
    bool endsWithNewline = true;
};

Head ReadHead(QFile& f) {
    Head h;
    h.firstLine = f.readLine(4096);
    if (h.firstLine.startsWith("\xEF\xBB\xBF")) {
        h.firstLine.remove(0, 3);
    }
    while (h.firstLine.endsWith('\n') || h.firstLine.endsWith('\r')) {
        h.firstLine.chop(1);
    }
    char last = '\n';
    if (f.seek(f.size() - 1)) {
        f.getChar(&last);
    }
    h.endsWithNewline = last == '\n';
    return h;
}

QString NotOurHeader(const QString& path) {
    return QStringLiteral(
               "%1: its first line is not the header of a watch log (%2); not appending to it")
        .arg(path, QLatin1String(kWatchLogHeader));
}

}  // namespace

QByteArray WatchCsvRow(const QString& time, int round, const WatchSample& s) {
    const ModuleState& m = s.state;
    QByteArray row =
        time.toLatin1() + ',' + QByteArray::number(round) + ',' + QByteArray::number(m.id) + ',';
    if (!s.present) {
        return row + "0,,,,,,,";
    }
    return row + "1," + QByteArray(1, m.side) + ',' + VersionText(m.version).toLatin1() + ',' +
           Hex2(m.mode) + ',' + (m.error1 ? "1," : "0,") + QByteArray::number(m.count1) + ',' +
           (m.error2 ? "1," : "0,") + QByteArray::number(m.count2);
}

QJsonObject WatchSampleJson(std::int64_t timeMs, int round, const WatchSample& s) {
    const ModuleState& m = s.state;
    const QJsonValue none(QJsonValue::Null);
    const auto field = [&s, &none](const QJsonValue& v) { return s.present ? v : none; };
    return QJsonObject{{"time", WatchTimeText(timeMs)},
                       {"round", round},
                       {"id", m.id},
                       {"present", s.present ? 1 : 0},
                       {"side", field(QString(QChar(m.side)))},
                       {"version", field(VersionText(m.version))},
                       {"mode", field(QString::fromLatin1(Hex2(m.mode)))},
                       {"ch1_error", field(m.error1 ? 1 : 0)},
                       {"ch1_count", field(m.count1)},
                       {"ch2_error", field(m.error2 ? 1 : 0)},
                       {"ch2_count", field(m.count2)}};
}

QString WatchLogWriter::Check(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return QStringLiteral("%1 is a directory").arg(path);
    }
    if (!info.exists()) {
        const QFileInfo dir(info.absolutePath());
        if (!dir.isDir() || !dir.isWritable()) {
            return QStringLiteral("cannot write %1: no writable folder %2")
                .arg(path, QDir::toNativeSeparators(info.absolutePath()));
        }
        return {};
    }
    // Asked before anything is opened: opening a FIFO waits for a reader, and a
    // device takes rows that nobody can read back.
    if (!info.isFile()) {
        return QStringLiteral(
                   "%1 is not a regular file (a device, a FIFO or a socket); a watch "
                   "log is written only to a file")
            .arg(path);
    }
    QFile f(path);
    if (!f.open(QIODevice::Append)) {
        return QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    }
    f.close();
    if (info.size() > 0) {
        QFile r(path);
        if (!r.open(QIODevice::ReadOnly)) {
            return QStringLiteral("cannot read %1: %2").arg(path, r.errorString());
        }
        if (ReadHead(r).firstLine != kWatchLogHeader) {
            return NotOurHeader(path);
        }
    }
    return {};
}

std::unique_ptr<WatchLogWriter> WatchLogWriter::Open(const QString& path, QString& error) {
    error = Check(path);
    if (!error.isEmpty()) {
        return nullptr;
    }
    std::unique_ptr<WatchLogWriter> w(new WatchLogWriter());
    w->name_ = path;
    const QFileInfo info(path);
    if (info.isFile() && info.size() > 0) {
        QFile r(path);
        if (r.open(QIODevice::ReadOnly) && !ReadHead(r).endsWithNewline) {
            w->pending_ = "\n";  // a row cut off by an earlier end stays a row of its own
        }
    } else {
        w->pending_ = QByteArray(kWatchLogHeader) + '\n';
    }
    w->file_.setFileName(path);
    // Unbuffered: what a failed write leaves behind can be cut off again.
    if (!w->file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, w->file_.errorString());
        return nullptr;
    }
    return w;
}

std::unique_ptr<WatchLogWriter> WatchLogWriter::StandardOutput() {
    std::unique_ptr<WatchLogWriter> w(new WatchLogWriter());
    w->name_ = QStringLiteral("standard output");
    w->file_.open(stdout, QIODevice::WriteOnly);
    w->pending_ = QByteArray(kWatchLogHeader) + '\n';
    return w;
}

bool WatchLogWriter::Write(const WatchRound& round) {
    QByteArray rows = pending_;
    const QString time = WatchTimeText(round.timeMs);
    for (const WatchSample& s : round.samples) {
        rows += WatchCsvRow(time, round.number, s) + '\n';
    }
    if (rows.isEmpty()) {
        return true;
    }
    const qint64 before = file_.isSequential() ? -1 : file_.size();
    if (!WriteAll(file_, rows) || !file_.flush()) {
        problem_ = QStringLiteral("cannot write %1: %2").arg(name_, file_.errorString());
        if (before >= 0) {
            file_.resize(before);  // the rounds before stay whole, with nothing cut after them
        }
        return false;
    }
    pending_.clear();
    return true;
}

}  // namespace quorval

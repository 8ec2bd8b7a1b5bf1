#include "common/Ini.h"

#include <climits>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace quorval {

namespace {

// A settings file is a few lines; anything larger is not one of ours.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

TextFile ReadSettings(const QString& file) {
    return ReadTextFile(QFileInfo(file).filesystemFilePath(), kMaxSettingsBytes);
}

std::string Local(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

QString FromLocal(std::string_view s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

// Like the Windows profile call: blanks, an optional sign, then digits.
int LeadingNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1;  // stays out of every range
            break;
        }
        ++p;
    }
    return static_cast<int>(negative ? -value : (value > INT_MAX ? INT_MAX : value));
}

}  // namespace

QString SettingsFilePath() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return QDir(exe.absolutePath()).filePath(exe.completeBaseName() + QStringLiteral(".ini"));
}

SettingsFiles DefaultSettingsFiles() {
    const QString shared = SettingsFilePath();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return {shared,
            folder.isEmpty() ? QString() : QDir(folder).filePath(QFileInfo(shared).fileName())};
}

SettingsFiles SettingsFilesOf(const QString& program) {
    const QString name = program + QStringLiteral(".ini");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return {
        QDir(QCoreApplication::applicationDirPath()).filePath(name),
        folder.isEmpty() ? QString() : QDir(folder).filePath(program + QLatin1Char('/') + name)};
}

IniReader::IniReader(const QString& file) {
    const TextFile f = ReadSettings(file);
    if (f.status == TextFile::Status::Ok) {
        text_ = IniText::Parse(f.bytes);
    }
}

const std::string* IniReader::Value(const QString& section, const QString& key) const {
    return text_ ? text_->Value(Local(section), Local(key)) : nullptr;
}

int IniReader::Int(const QString& section, const QString& key) const {
    const std::string* value = Value(section, key);
    return value ? LeadingNumber(value->c_str()) : -1;
}

QString IniReader::String(const QString& section, const QString& key) const {
    const std::string* value = Value(section, key);
    return value ? FromLocal(*value) : QString();
}

QString DeviceSetting(const QString& value) {
    const std::string text = Local(value);
    return FromLocal(ValueBeforeComment(text));
}

namespace {

// Sets the key in the given text and writes it whole or not at all. QSaveFile
// keeps the file's permissions and, given a symlink, replaces the file it
// points at, not the link.
bool SaveWithKey(const std::string& current, const QString& section, const QString& key,
                 const QString& value, const QString& file) {
    IniText text = IniText::Parse(current);
    if (!text.Set(Local(section), Local(key), Local(value))) {
        return false;
    }
    const std::string bytes = text.Bytes();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    out.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return out.commit();
}

}  // namespace

bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file) {
    const TextFile current = ReadSettings(file);
    if (current.status != TextFile::Status::Ok && current.status != TextFile::Status::Missing) {
        return false;  // not ours to overwrite
    }
    return SaveWithKey(current.bytes, section, key, value, file);
}

QString WriteSetting(const SettingsFiles& files, const QString& section, const QString& key,
                     const QString& value) {
    const QString inUse = files.InUse();
    if (WriteIniString(section, key, value, inUse)) {
        return inUse;
    }
    if (inUse == files.personal || files.personal.isEmpty()) {
        return {};
    }
    const TextFile shared = ReadSettings(files.shared);
    const std::string base = shared.status == TextFile::Status::Ok ? shared.bytes : std::string();
    QDir().mkpath(QFileInfo(files.personal).absolutePath());
    return SaveWithKey(base, section, key, value, files.personal) ? files.personal : QString();
}

int ByteSetting(int value) {
    return value >= 0 && value <= 255 ? value : -1;
}

}  // namespace quorval

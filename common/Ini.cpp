#include "common/Ini.h"

#include <climits>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/OutputFile.h"
#include "common/Parse.h"

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

// Like the Windows profile call: blanks, an optional sign, then digits, and
// whatever follows them ignored; 0 without digits. Beyond the range of int it
// is a value outside every byte's.
int LeadingNumber(std::string_view text) {
    std::string_view t = TrimBlanks(text);
    const bool negative = !t.empty() && t.front() == '-';
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        t.remove_prefix(1);
    }
    const std::string_view digits = t.substr(0, t.find_first_not_of("0123456789"));
    if (digits.empty()) {
        return 0;
    }
    const auto value = ParseWhole(digits, 0, INT_MAX);
    if (!value) {
        return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -*value : *value);
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
    return value ? LeadingNumber(*value) : -1;
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

// Sets the key in the given text and writes it whole or not at all.
bool SaveWithKey(const std::string& current, const QString& section, const QString& key,
                 const QString& value, const QString& file) {
    IniText text = IniText::Parse(current);
    if (!text.Set(Local(section), Local(key), Local(value))) {
        return false;
    }
    return WriteWhole(file, QByteArray::fromStdString(text.Bytes())).isEmpty();
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

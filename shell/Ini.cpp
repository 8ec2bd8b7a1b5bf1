#include "shell/Ini.h"

#include <SimpleIni.h>

#include <climits>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quorval {

namespace {

// A settings file is a few lines; anything larger is not one of ours.
constexpr qint64 kMaxSettingsBytes = 64 * 1024;

// Loads the file; false when it is missing, unreadable, too large or not text.
bool Load(CSimpleIniA& ini, const QString& file) {
    QFile f(file);
    if (f.size() > kMaxSettingsBytes || !f.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = f.readAll();
    if (data.contains('\0')) {
        return false;
    }
    return ini.LoadData(data.constData(), static_cast<size_t>(data.size())) >= 0;
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

struct IniReader::Data {
    CSimpleIniA ini;
};

IniReader::IniReader(const QString& file) : data_(std::make_unique<Data>()) {
    if (!Load(data_->ini, file)) {
        data_.reset();
    }
}

IniReader::~IniReader() = default;

const char* IniReader::Value(const QString& section, const QString& key) const {
    if (!data_) {
        return nullptr;
    }
    return data_->ini.GetValue(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(),
                               nullptr);
}

int IniReader::Int(const QString& section, const QString& key) const {
    const char* value = Value(section, key);
    return value ? LeadingNumber(value) : -1;
}

QString IniReader::String(const QString& section, const QString& key) const {
    const char* value = Value(section, key);
    return value ? QString::fromLocal8Bit(value).trimmed() : QString();
}

int ReadIniInt(const QString& section, const QString& key, const QString& file) {
    return IniReader(file).Int(section, key);
}

QString ReadIniString(const QString& section, const QString& key, const QString& file) {
    return IniReader(file).String(section, key);
}

bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file) {
    CSimpleIniA ini;
    if (QFile::exists(file) && !Load(ini, file)) {
        return false;  // not ours to overwrite
    }
    // The value keeps its leading blank: " 2".
    ini.SetSpaces(false);
    if (ini.SetValue(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(),
                     value.toLocal8Bit().constData()) < 0) {
        return false;
    }
    std::string text;
    if (ini.Save(text) < 0) {
        return false;
    }
    // Written whole or not at all: a crash never leaves half a file.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    out.write(text.data(), static_cast<qint64>(text.size()));
    return out.commit();
}

int ByteSetting(int value) {
    return value >= 0 && value <= 255 ? value : -1;
}

}  // namespace quorval

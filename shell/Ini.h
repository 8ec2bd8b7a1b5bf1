#pragma once

#include <optional>
#include <string>

#include <QString>

#include "common/IniText.h"

namespace quorval {

// The settings file: INI text beside the executable, one section named after
// the application title. Section and key names match without regard to case.

constexpr const char* kAppTitle = "QUORVAL Setup Tool";

// The settings file of the running executable: its folder, its name without
// extension, ".ini".
QString SettingsFilePath();

// The settings file read once, for several keys.
class IniReader {
  public:
    explicit IniReader(const QString& file);

    // As ReadIniInt and ReadIniString below.
    int Int(const QString& section, const QString& key) const;
    QString String(const QString& section, const QString& key) const;

  private:
    const std::string* Value(const QString& section, const QString& key) const;
    std::optional<IniText> text_;  // empty when the file is not a settings file
};

// The whole number at the start of the key's value (0 when it does not start
// with one); -1 when the file, the section or the key is missing or the file
// cannot be read as a settings file.
int ReadIniInt(const QString& section, const QString& key, const QString& file);

// The key's text; empty when missing.
QString ReadIniString(const QString& section, const QString& key, const QString& file);

// A device key's value (com1..com4) without its comment: it ends before a ';'
// that follows a blank or tab, so paths may still contain ';'.
QString DeviceSetting(const QString& value);

// Sets the key, creating file and section as needed; every other byte of the
// file stays. False when the file could not be written or is not a settings
// file (then it is left alone).
bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file);

// A setting read with ReadIniInt that fits an unsigned byte, else nothing.
int ByteSetting(int value);

}  // namespace quorval

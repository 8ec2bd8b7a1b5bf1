#pragma once

#include <optional>
#include <string>

#include <QString>

#include "common/IniText.h"
#include "common/SettingsFiles.h"

namespace quorval {

// The settings file: INI text beside the executable, one section named after
// the application title. Section and key names match without regard to case.

constexpr const char* kAppTitle = "QUORVAL Setup Tool";

// The settings file of the running executable: its folder, its name without
// extension, ".ini".
QString SettingsFilePath();

// Beside the executable, and in the user's configuration folder
// (~/.config/quorval-setup/ on Linux, %LOCALAPPDATA%\quorval-setup\ on Windows).
SettingsFiles DefaultSettingsFiles();

// The same two files of another program of the tool installed beside this one
// (the command line reads the window program's keys).
SettingsFiles SettingsFilesOf(const QString& program);

// The settings file read once, for several keys.
class IniReader {
  public:
    explicit IniReader(const QString& file);

    // The whole number at the start of the key's value (0 when it does not
    // start with one); -1 when the file, the section or the key is missing or
    // the file cannot be read as a settings file.
    int Int(const QString& section, const QString& key) const;
    // The key's text; empty when missing.
    QString String(const QString& section, const QString& key) const;

  private:
    const std::string* Value(const QString& section, const QString& key) const;
    std::optional<IniText> text_;  // empty when the file is not a settings file
};

// A device key's value (com1..com4) without its comment: it ends before a ';'
// that follows a blank or tab, so paths may still contain ';'.
QString DeviceSetting(const QString& value);

// Sets the key, creating file and section as needed; every other byte of the
// file stays. False when the file could not be written or is not a settings
// file (then it is left alone).
bool WriteIniString(const QString& section, const QString& key, const QString& value,
                    const QString& file);

// Sets the key in the file in use. Where that is the shared file and it cannot
// be written (an installed program's folder), the user's own file takes over,
// starting as a copy of the shared one so that nothing prepared there is lost.
// Returns the file written; empty when none could be.
QString WriteSetting(const SettingsFiles& files, const QString& section, const QString& key,
                     const QString& value);

// A setting read with IniReader::Int that fits an unsigned byte, else nothing.
int ByteSetting(int value);

}  // namespace quorval

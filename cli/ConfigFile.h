#pragma once

// quorval-cli --config FILE: options from an INI file, [global] for the port
// and [watch] for the watch's options, each key a long option's name. The
// names, comments and case follow the settings file's rules; the command line
// wins over the file.

#include <cstddef>
#include <vector>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include "cli/Cli.h"

namespace quorval {

constexpr std::size_t kMaxConfigBytes = 64 * 1024;

struct ConfigOptions {
    QStringList words;  // "--interval=10", in the order of the file
    QString problem;    // "FILE:LINE: what is wrong"; "FILE: ..." for the whole file
};

// The options the file gives for `command`. Every key is checked, also those of
// a section that does not apply to the command: valid keys are the options the
// parser knows that the command allows, flags take yes/no, true/false, on/off
// or 1/0, and a value passes the command's own checks.
ConfigOptions ReadConfigFile(const QString& path, const QString& command,
                             const std::vector<CommandRule>& rules,
                             const QList<QCommandLineOption>& options);

// With --config set, parses the command line again with the file's options in
// front of its own. kExitOk, or kExitUsage once the problem is said.
int ApplyConfigFile(QCommandLineParser& parser, const QStringList& arguments,
                    const std::vector<CommandRule>& rules,
                    const QList<QCommandLineOption>& options);

}  // namespace quorval

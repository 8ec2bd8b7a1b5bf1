#include "cli/ConfigFile.h"

#include <map>

#include <QFileInfo>

#include "common/IniText.h"
#include "common/Parse.h"

namespace quorval {

namespace {

constexpr const char* kGlobal = "global";
// The one command whose options a file may carry so far: the watch that runs
// unattended.
constexpr const char* kFileCommand = "watch";

const QCommandLineOption* FindOption(const QList<QCommandLineOption>& options,
                                     std::string_view name) {
    for (const QCommandLineOption& o : options) {
        for (const QString& n : o.names()) {
            if (EqualNoCase(n.toStdString(), name)) {
                return &o;
            }
        }
    }
    return nullptr;
}

std::optional<bool> FlagWord(std::string_view word) {
    for (const char* yes : {"yes", "true", "on", "1"}) {
        if (EqualNoCase(word, yes)) {
            return true;
        }
    }
    for (const char* no : {"no", "false", "off", "0"}) {
        if (EqualNoCase(word, no)) {
            return false;
        }
    }
    return std::nullopt;
}

}  // namespace

ConfigOptions ReadConfigFile(const QString& path, const QString& command,
                             const std::vector<CommandRule>& rules,
                             const QList<QCommandLineOption>& options) {
    ConfigOptions c;
    const TextFile file = ReadTextFile(QFileInfo(path).filesystemFilePath(), kMaxConfigBytes);
    if (file.status != TextFile::Status::Ok) {
        c.problem = QStringLiteral("%1: %2").arg(
            path, QString::fromStdString(TextFileProblem(file.status, kMaxConfigBytes)));
        return c;
    }
    const CommandRule* watch = nullptr;
    for (const CommandRule& r : rules) {
        watch = QLatin1String(r.name) == QLatin1String(kFileCommand) ? &r : watch;
    }
    const IniText ini = IniText::Parse(file.bytes);
    const CommandRule* section = nullptr;  // the command of the section, null for [global]
    bool inSection = false;
    std::map<QString, int> seen;  // "section/key" -> its line
    const auto fail = [&c, &path](int line, const QString& what) {
        c.problem = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(what);
        c.words.clear();
        return c;
    };
    for (const IniLine& line : ini.Lines()) {
        const QString name = QString::fromUtf8(line.name.data(), qsizetype(line.name.size()));
        switch (line.kind) {
            case IniLineKind::Blank:
            case IniLineKind::Comment:
                continue;
            case IniLineKind::Other:
                return fail(line.number,
                            QStringLiteral("not a [section], a key = value or a ; comment"));
            case IniLineKind::Section: {
                const QString lower = QString::fromStdString(LowerAscii(line.name));
                if (lower != QLatin1String(kGlobal) && lower != QLatin1String(kFileCommand)) {
                    return fail(line.number, QStringLiteral("unknown section [%1]: [%2] or [%3]")
                                                 .arg(name, QLatin1String(kGlobal),
                                                      QLatin1String(kFileCommand)));
                }
                if (const auto [at, fresh] = seen.emplace(lower, line.number); !fresh) {
                    return fail(line.number, QStringLiteral("section [%1] again (first on line %2)")
                                                 .arg(name)
                                                 .arg(at->second));
                }
                inSection = true;
                section = lower == QLatin1String(kGlobal) ? nullptr : watch;
                continue;
            }
            case IniLineKind::Key:
                break;
        }
        if (!inSection) {
            return fail(line.number,
                        QStringLiteral("%1 comes before any section: put it under "
                                       "[%2] or [%3]")
                            .arg(name, QLatin1String(kGlobal), QLatin1String(kFileCommand)));
        }
        const QCommandLineOption* option = FindOption(options, line.name);
        const QString key = option ? option->names().first() : name;
        const bool allowed =
            section ? option && section->allowed.contains(key) : key == QLatin1String("port");
        if (!allowed) {
            return fail(line.number, QStringLiteral("unknown key %1 in [%2]")
                                         .arg(name, section ? QLatin1String(section->name)
                                                            : QLatin1String(kGlobal)));
        }
        const QString where = (section ? QLatin1String(section->name) : QLatin1String(kGlobal)) +
                              QLatin1Char('/') + key;
        if (const auto [at, fresh] = seen.emplace(where, line.number); !fresh) {
            return fail(line.number,
                        QStringLiteral("%1 again (first on line %2)").arg(name).arg(at->second));
        }
        const std::string_view raw = ValueBeforeComment(line.value);
        const QString value = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
        const bool applies = !section || command == QLatin1String(section->name);
        if (option->valueName().isEmpty()) {
            const std::optional<bool> on = FlagWord(raw);
            if (!on) {
                return fail(line.number,
                            QStringLiteral("%1 takes yes or no (true or false, on or off, 1 or "
                                           "0), not '%2'")
                                .arg(name, value));
            }
            if (*on && applies) {
                c.words << QStringLiteral("--") + key;
            }
            continue;
        }
        if (value.isEmpty()) {
            return fail(line.number, QStringLiteral("%1 needs a value").arg(name));
        }
        for (const OptionCheck& check : section ? section->checks : std::vector<OptionCheck>{}) {
            if (key == QLatin1String(check.name)) {
                if (const QString problem = check.problem(value); !problem.isEmpty()) {
                    return fail(line.number, problem);
                }
            }
        }
        if (applies) {
            c.words << QStringLiteral("--%1=%2").arg(key, value);
        }
    }
    return c;
}

int ApplyConfigFile(QCommandLineParser& parser, const QStringList& arguments,
                    const std::vector<CommandRule>& rules,
                    const QList<QCommandLineOption>& options) {
    if (!parser.isSet(QStringLiteral("config"))) {
        return kExitOk;
    }
    const ConfigOptions c = ReadConfigFile(parser.value(QStringLiteral("config")),
                                           parser.positionalArguments().value(0), rules, options);
    if (!c.problem.isEmpty()) {
        return UsageError(c.problem);
    }
    // The file's options first: of an option given twice, the last counts.
    parser.process(QStringList{arguments.value(0)} + c.words + arguments.mid(1));
    return kExitOk;
}

}  // namespace quorval

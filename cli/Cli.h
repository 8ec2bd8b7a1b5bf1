#pragma once

// What every command of quorval-cli shares: the parsed command line, the exit
// status, the output, and how a command family describes its commands.

#include <functional>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace quorval {

struct Global;
class ModuleLink;

// The exit status of every command.
enum Exit : int {
    kExitOk = 0,
    kExitUsage = 1,   // the command line does not make sense
    kExitSystem = 2,  // the system answered, but something is wrong
    kExitLink = 3,    // the link failed
};

struct Options {
    QString port;
    QString command;
    QStringList operands;  // the words after the command
    int id = -1;           // the module ID of a command that takes one
    bool json = false;
    bool debug = false;
    bool eeprom = false;
    QString baud;         // a caption of the baud rate list
    QString identifiers;  // "11" or "29"
    QString topology;     // "point-to-point" or "line-or-ring"
    QString relay;        // a relay caption
    // Options of a command family, by name.
    const QCommandLineParser* parser = nullptr;
    QString Value(const QString& name) const { return parser ? parser->value(name) : QString(); }
    bool IsSet(const QString& name) const { return parser && parser->isSet(name); }
};

// What a command's run returns when it goes on from the event loop; it then
// hands its exit status to the loop with Session::Finish, once.
constexpr int kRunning = -1;

// A command at work: the link is there for commands that use the port.
struct Session {
    QCoreApplication& app;
    const Options& o;
    Global* g = nullptr;
    ModuleLink* link = nullptr;
    // The first status handed over is the one the program ends with.
    void Finish(int status) {
        if (!finished) {
            finished = true;
            QCoreApplication::exit(status);
        }
    }
    bool finished = false;
};

enum class PortUse {
    Required,  // opened before the command runs; a port that cannot be opened ends with 3
    Optional,  // opened when --port is given
    None,      // the command never opens the port
};

// Checks one option's value: empty when it is fine, else what is wrong with it,
// naming the option. Only reads, so the command line and a --config file's
// lines are checked by the same rules before anything is done.
struct OptionCheck {
    const char* name;
    std::function<QString(const QString& value)> problem;
};

struct CommandRule {
    const char* name;
    const char* operand;  // "ID" (a module ID, checked), another name, or nullptr for none
    PortUse port;
    bool signalEnds;  // SIGINT or SIGTERM is its normal end, not an interruption
    QStringList allowed;
    QStringList required;
    // Runs from the event loop: the exit status, or kRunning.
    std::function<int(Session&)> run;
    // Runs before the port is opened (reads the command's files, checks where
    // it will write); a status other than 0 ends the command with it.
    std::function<int(Session&)> prepare = nullptr;
    std::vector<OptionCheck> checks = {};
};

// The command families, one file each.
std::vector<CommandRule> ReadCommands();    // scan, query, monitor
std::vector<CommandRule> WriteCommands();   // set, program
std::vector<CommandRule> RecordCommands();  // check, report
std::vector<CommandRule> WatchCommands();   // watch
std::vector<CommandRule> PortCommands();    // ports

// A line on standard output (flushed) or standard error.
void Out(const QString& line);
void Err(const QString& line);
// Says what went wrong on standard error; returns the exit status.
int Refuse(const QString& why);
int UsageError(const QString& why);
int LinkFailed(const QString& why);

// Queries the module of the command line; answered runs once its answer is in the
// table, else the command ends saying why. The run's status.
int QueryThen(Session& s, std::function<void()> answered);

// The scan's two messages, with plain line ends for a terminal.
QString NoModulesMessage();
QString ForeignModuleMessage();

}  // namespace quorval

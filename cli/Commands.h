#pragma once

// The commands of quorval-cli, on an open link.

#include <csignal>

#include <QCoreApplication>
#include <QString>

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
    int id = -1;
    bool json = false;
    bool debug = false;
    bool eeprom = false;
    QString baud;         // a caption of the baud rate list
    QString identifiers;  // "11" or "29"
    QString topology;     // "point-to-point" or "line-or-ring"
    QString relay;        // a relay caption
};

// Says what went wrong on standard error; returns the exit status.
int Refuse(const QString& why);
int LinkFailed(const QString& why);

// Runs o.command; returns its exit status. interrupted ends the monitor.
int RunCommand(QCoreApplication& app, Global& g, ModuleLink& link, const Options& o,
               const volatile std::sig_atomic_t& interrupted);

}  // namespace quorval

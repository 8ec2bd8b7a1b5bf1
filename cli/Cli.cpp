#include "cli/Cli.h"

#include <cstdio>

#include "link/ModuleLink.h"
#include "session/BusScan.h"

namespace quorval {

void Out(const QString& line) {
    std::fputs(qPrintable(line), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Err(const QString& line) {
    std::fputs(qPrintable(line), stderr);
    std::fputc('\n', stderr);
}

int Refuse(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitSystem;
}

int UsageError(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitUsage;
}

int LinkFailed(const QString& why) {
    Err(QStringLiteral("quorval-cli: ") + why);
    return kExitLink;
}

int NoAnswer(ModuleLink& link, QueryOutcome a, int id) {
    switch (a) {
        case QueryOutcome::LinkLost:
            return LinkFailed(link.PortProblem());
        case QueryOutcome::Stopped:
            return kExitOk;  // the signal decides the status
        default:
            Err(QStringLiteral("Modul with ID %1 not answer!").arg(id));
            return kExitSystem;
    }
}

QString NoModulesMessage() {
    return QString::fromLatin1(kNoModulesText);
}

QString ForeignModuleMessage() {
    return QString::fromLatin1(kForeignModuleText)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

}  // namespace quorval

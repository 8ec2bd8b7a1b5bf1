#include "cli/Cli.h"

#include <cstdio>

#include "link/ModuleLink.h"
#include "session/BusScan.h"
#include "session/ModuleQuery.h"

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

int QueryThen(Session& s, std::function<void()> answered) {
    auto* query = new ModuleQuery(*s.link);
    QObject::connect(query, &ModuleQuery::finished,
                     [&s, answered = std::move(answered)](QueryOutcome outcome) {
                         switch (outcome) {
                             case QueryOutcome::Answered:
                                 answered();
                                 return;
                             case QueryOutcome::LinkLost:
                                 s.Finish(LinkFailed(s.link->PortProblem()));
                                 return;
                             case QueryOutcome::Stopped:
                                 s.Finish(kExitOk);  // the signal decides the status
                                 return;
                             case QueryOutcome::Silent:
                                 Err(QStringLiteral("Modul with ID %1 not answer!").arg(s.o.id));
                                 s.Finish(kExitSystem);
                                 return;
                         }
                     });
    return query->Start(s.o.id) ? kRunning : kExitOk;  // turned away only by a stop
}

QString NoModulesMessage() {
    return QString::fromLatin1(kNoModulesText);
}

QString ForeignModuleMessage() {
    return QString::fromLatin1(kForeignModuleText)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

}  // namespace quorval

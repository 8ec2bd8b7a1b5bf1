#include "cli/Cli.h"

#include <cstdio>

#include "common/EventYield.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "session/BusScan.h"

namespace quorval {

namespace {

constexpr int kAnswerLimitMs = 2000;

}  // namespace

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

Answer Query(Global& g, ModuleLink& link, int id) {
    const ModuleLink::Exchange exchange(link);
    const float before = g.Bus.Modules(id).GetTimeStamp();
    SetTxModuleID(g, id);
    link.SendCommand(kCmdQuery);
    const bool answered = WaitUntil(
        [&] {
            return g.Bus.Modules(id).GetTimeStamp() != before || exchange.Lost() ||
                   link.StopRequested();
        },
        kAnswerLimitMs);
    if (exchange.Lost()) {
        return Answer::Lost;
    }
    if (link.StopRequested()) {
        return Answer::Stopped;
    }
    return answered ? Answer::Answered : Answer::Silent;
}

int NoAnswer(ModuleLink& link, Answer a, int id) {
    switch (a) {
        case Answer::Lost:
            return LinkFailed(link.PortProblem());
        case Answer::Stopped:
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

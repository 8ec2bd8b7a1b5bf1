// set and program: commands that change the modules' configuration.

#include <memory>

#include "cli/Cli.h"
#include "cli/CliFormat.h"
#include "common/Bits.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "model/GlobalSettingsModel.h"
#include "model/ModuleText.h"
#include "model/RelayLogic.h"
#include "session/BusScan.h"
#include "session/ProgrammingRun.h"
#include "session/RelayApply.h"

namespace quorval {

namespace {

// One line per configuration frame sent.
QString SentLine(int id, bool eeprom, std::uint8_t mode) {
    return QStringLiteral("%1  %2 0x%3 %4  (%5)")
        .arg(id, 5)
        .arg(QChar(eeprom ? 'W' : 'S'))
        .arg(mode, 2, 16, QLatin1Char('0'))
        .arg(QString::fromStdString(ByteToBits(mode)), DecodedMode(mode));
}

// After the query: the module's mode with the relay logic replaced, sent back.
void Change(Session& s) {
    ModuleLink& link = *s.link;
    const Options& o = s.o;
    auto* apply = new RelayApply(link);
    QObject::connect(apply, &RelayApply::finished, [&s, &link, &o, apply](ApplyOutcome outcome) {
        switch (outcome) {
            case ApplyOutcome::Sent:
                Out(SentLine(o.id, o.eeprom, apply->Mode()));
                s.Finish(kExitOk);
                return;
            case ApplyOutcome::Stopped:
                Err(QStringLiteral("interrupted: module %1 was not changed").arg(o.id));
                s.Finish(kExitOk);
                return;
            default:
                s.Finish(LinkFailed(QStringLiteral("module %1 was not changed: the port did not "
                                                   "take the frame (%2)")
                                        .arg(o.id)
                                        .arg(link.PortProblem())));
                return;
        }
    });
    if (!apply->Start(o.id, RelayValueForText(o.relay), o.eeprom)) {
        s.Finish(kExitOk);  // turned away only by a stop
    }
}

int Set(Session& s) {
    return QueryThen(s, [&s] { Change(s); });
}

// After the scan: the configuration chosen, if the oldest firmware offers it,
// programmed into every module found.
int ProgramScanned(Session& s, GlobalSettingsModel& model, ScanOutcome outcome) {
    Global& g = *s.g;
    ModuleLink& link = *s.link;
    const Options& o = s.o;
    switch (outcome) {
        case ScanOutcome::NoneFound:
            Err(NoModulesMessage());
            return kExitSystem;
        case ScanOutcome::LinkLost:
            return LinkFailed(
                QStringLiteral("nothing programmed, the scan stopped: %1").arg(link.PortProblem()));
        case ScanOutcome::Stopped:
            Err(QStringLiteral("interrupted during the scan: nothing programmed"));
            return kExitOk;
        case ScanOutcome::Foreign:
            return Refuse(ForeignModuleMessage());
        case ScanOutcome::Found:
            break;
    }
    model.SetProperties(g.Bus.MinVersion);
    const QString firmware = VersionText(g.Bus.MinVersion);

    const bool want29 = o.identifiers == QLatin1String("29");
    if (want29 && !model.Identifier29Enabled()) {
        return Refuse(QStringLiteral("29-bit identifiers are not offered: the oldest firmware "
                                     "found is %1, they need 3.3 or later")
                          .arg(firmware));
    }
    model.SelectIdentifier(want29, g.Bus.MinVersion);
    const QString& baud = o.baud;
    if (!model.SelectBaud(baud, g.Bus.MinVersion)) {
        return Refuse(
            QStringLiteral("%1 is not offered with %2-bit identifiers").arg(baud, o.identifiers));
    }
    const bool wantLine = o.topology == QLatin1String("line-or-ring");
    if (wantLine && !model.LineOrRingEnabled()) {
        return Refuse(QStringLiteral("line or ring topology is not offered with %1, %2-bit "
                                     "identifiers and firmware %3: use point-to-point")
                          .arg(baud, o.identifiers, firmware));
    }
    model.SelectTopology(wantLine ? GlobalSettingsModel::Topology::LineOrRing
                                  : GlobalSettingsModel::Topology::PointToPoint);
    model.SetRelayText(o.relay);

    const std::uint8_t mode = model.ModeByte();
    auto* run = new ProgrammingRun(link);
    QObject::connect(
        run, &ProgrammingRun::progress,
        [&g, &o, mode](int id, bool sent, const ProgrammingResult&) {
            Out(SentLine(id, o.eeprom, mode) +
                (id == g.GModuleID ? QStringLiteral("  attached to the PC") : QString()) +
                (sent ? QString() : QStringLiteral("  REFUSED by the port")));
        });
    QObject::connect(run, &ProgrammingRun::finished, [&s, &link](const ProgrammingResult& result) {
        Out(RunSummary(result));
        s.Finish(result.failed > 0 ? LinkFailed(QStringLiteral("%1 modules not programmed: %2")
                                                    .arg(result.failed)
                                                    .arg(link.PortProblem()))
                                   : kExitOk);
    });
    return run->Start(mode, ProgrammingOrder(g), [&o] { return o.eeprom; }) ? kRunning : kExitOk;
}

int Program(Session& s) {
    Global& g = *s.g;
    ModuleLink& link = *s.link;
    // The dialog as the program creates it, then as a scan leaves it.
    auto model = std::make_shared<GlobalSettingsModel>();
    model->SetProperties(g.Bus.MinVersion);
    model->SelectBaud(QStringLiteral("125 KBit/s"), g.Bus.MinVersion);
    auto* scan = new BusScan(link);
    QObject::connect(
        &link, &ModuleLink::AttachedModeReported, scan,
        [&g, model](std::uint8_t mode) { model->ShowReportedMode(mode, g.Bus.MinVersion); });
    QObject::connect(scan, &BusScan::finished, [&s, model](ScanOutcome outcome) {
        if (const int status = ProgramScanned(s, *model, outcome); status != kRunning) {
            s.Finish(status);
        }
    });
    return scan->Start() ? kRunning : kExitOk;  // turned away only by a stop
}

}  // namespace

std::vector<CommandRule> WriteCommands() {
    return {
        {"set", "ID", PortUse::Required, false, {"relay", "eeprom"}, {"relay"}, Set},
        {"program",
         nullptr,
         PortUse::Required,
         false,
         {"relay", "eeprom", "baud", "identifiers", "topology"},
         {"baud", "identifiers", "topology", "relay"},
         Program},
    };
}

}  // namespace quorval

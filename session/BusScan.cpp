#include "session/BusScan.h"

#include <QElapsedTimer>

#include "common/EventYield.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "model/Global.h"

namespace quorval {

ScanOutcome ScanBus(Global& g, ModuleLink& link) {
    const ModuleLink::Exchange exchange(link);
    g.Bus.ModuleCount = 0;
    g.Bus.MinVersion = 255;
    const auto ended = [&] { return exchange.Lost() || link.StopRequested(); };
    const auto endOutcome = [&] {
        return exchange.Lost() ? ScanOutcome::LinkLost : ScanOutcome::Stopped;
    };
    link.SendCommand(kCmdScan);
    // A module counted during the last yield still counts.
    WaitUntil([&] { return g.Bus.ModuleCount != 0 || ended(); }, kScanFirstAnswerMs);
    if (ended()) {
        return endOutcome();
    }
    if (g.Bus.ModuleCount == 0) {
        return ScanOutcome::NoneFound;
    }
    QElapsedTimer quiet;
    QElapsedTimer sinceNew;
    quiet.start();
    sinceNew.start();
    const auto c1 =
        QObject::connect(&link, &ModuleLink::BytesArrived, [&quiet] { quiet.restart(); });
    const auto c2 = QObject::connect(&link, &ModuleLink::FrameParsed,
                                     [&](const ResponseFrame&, FrameOutcome outcome) {
                                         quiet.restart();
                                         if (outcome == FrameOutcome::New) {
                                             sinceNew.restart();
                                         }
                                     });
    while ((quiet.elapsed() < kScanQuietMs || g.RxPending) && sinceNew.elapsed() < kScanLimitMs &&
           !ended()) {
        YieldToEventLoop();
    }
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    if (ended()) {
        return endOutcome();
    }
    return IsForeignFirmware(g.Bus.MinVersion) ? ScanOutcome::Foreign : ScanOutcome::Found;
}

}  // namespace quorval

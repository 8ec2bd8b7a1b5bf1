#include "bus/BusScan.h"

#include <QElapsedTimer>

#include "common/EventYield.h"
#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"

namespace quorval {

ScanOutcome ScanBus(Global& g, ModuleLink& link) {
    g.Bus.ModuleCount = 0;
    g.Bus.MinVersion = 255;
    link.SendCommand(kCmdScan);
    QElapsedTimer total;
    total.start();
    // A module counted during the last yield still counts.
    WaitUntil([&] { return g.Bus.ModuleCount != 0; }, kScanFirstAnswerMs);
    if (g.Bus.ModuleCount == 0) {
        return ScanOutcome::NoneFound;
    }
    QElapsedTimer quiet;
    quiet.start();
    const auto activity = [&quiet] { quiet.restart(); };
    const auto c1 = QObject::connect(&link, &ModuleLink::BytesArrived, activity);
    const auto c2 = QObject::connect(&link, &ModuleLink::FrameParsed, activity);
    while ((quiet.elapsed() < kScanQuietMs || g.RxPending) && total.elapsed() < kScanLimitMs) {
        YieldToEventLoop();
    }
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    return IsForeignFirmware(g.Bus.MinVersion) ? ScanOutcome::Foreign : ScanOutcome::Found;
}

}  // namespace quorval

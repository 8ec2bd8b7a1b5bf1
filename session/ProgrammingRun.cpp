#include "session/ProgrammingRun.h"

#include <algorithm>

#include "common/EventYield.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "model/Global.h"

namespace quorval {

std::vector<int> ProgrammingOrder(const Global& g) {
    std::vector<int> ids;
    bool attachedFound = false;
    for (int i = 0; i < g.Bus.ModuleCount; ++i) {
        const int id = g.Bus.ModuleOrder(i);
        if (id == g.GModuleID) {
            attachedFound = true;
        } else {
            ids.push_back(id);
        }
    }
    std::sort(ids.begin(), ids.end());
    if (attachedFound) {
        ids.push_back(g.GModuleID);  // its link carries all the others' frames
    }
    return ids;
}

QString RunSummary(const ProgrammingResult& result) {
    return QStringLiteral("sent %1 of %2, failed %3%4")
        .arg(result.sent)
        .arg(result.total)
        .arg(result.failed)
        .arg(result.interrupted ? QStringLiteral(", interrupted") : QString());
}

ProgrammingResult ProgramModules(
    Global& g, ModuleLink& link, std::uint8_t mode, const std::vector<int>& order,
    const std::function<bool()>& writeToEeprom,
    const std::function<void(int id, bool sent, const ProgrammingResult& soFar)>& progress) {
    const ModuleLink::Exchange exchange(link);  // the whole run holds the line
    ProgrammingResult result;
    result.total = static_cast<int>(order.size());
    for (const int id : order) {
        if (link.StopRequested()) {
            result.interrupted = true;
            break;
        }
        g.TxByte3 = mode;
        SetTxModuleID(g, id);
        const bool sent = link.DeliverCommand(writeToEeprom() ? kCmdWrite : kCmdSet);
        if (!sent && link.StopRequested()) {
            result.interrupted = true;  // dropped on the way out: neither sent nor failed
            break;
        }
        ++(sent ? result.sent : result.failed);
        progress(id, sent, result);
        YieldToEventLoop();
    }
    return result;
}

}  // namespace quorval

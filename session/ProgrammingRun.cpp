#include "session/ProgrammingRun.h"

#include <algorithm>

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

ProgrammingRun::ProgrammingRun(ModuleLink& link)
    : Exchange(link), delivery_(link, this), next_(this) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &ProgrammingRun::Next);
    connect(&delivery_, &FrameDelivery::delivered, this, &ProgrammingRun::Done);
}

bool ProgrammingRun::Start(std::uint8_t mode, std::vector<int> order,
                           std::function<bool()> writeToEeprom) {
    if (!Begin()) {
        return false;
    }
    mode_ = mode;
    order_ = std::move(order);
    eeprom_ = std::move(writeToEeprom);
    result_.total = static_cast<int>(order_.size());
    next_.start(0);
    return true;
}

void ProgrammingRun::Next() {
    if (at_ >= order_.size()) {
        Finish();
        return;
    }
    const int id = order_[at_];
    if (!delivery_.Send(ModuleFrame(eeprom_() ? kCmdWrite : kCmdSet, id, mode_))) {
        Done(false);
    }
}

void ProgrammingRun::Done(bool sent) {
    const int id = order_[at_++];
    ++(sent ? result_.sent : result_.failed);
    emit progress(id, sent, result_);
    if (Running()) {
        next_.start(0);  // the window's events run between two modules
    }
}

void ProgrammingRun::EndLinkLost() {
    // Nothing more goes out; the modules not reached are not programmed.
    while (at_ < order_.size()) {
        Done(false);
    }
    Finish();
}

void ProgrammingRun::EndStopped() {
    // A frame that had left counts; one dropped on the way out is neither sent nor failed.
    if (delivery_.Pending() && delivery_.Stop()) {
        Done(true);
    }
    result_.interrupted = at_ < order_.size();
    Finish();
}

void ProgrammingRun::Finish() {
    if (End()) {
        emit finished(result_);
    }
}

}  // namespace quorval

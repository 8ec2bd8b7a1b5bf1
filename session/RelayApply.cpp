#include "session/RelayApply.h"

#include "model/Global.h"
#include "model/RelayLogic.h"

namespace quorval {

RelayApply::RelayApply(ModuleLink& link) : Exchange(link), delivery_(link, this) {
    connect(&delivery_, &FrameDelivery::delivered, this, &RelayApply::Delivered);
}

void RelayApply::Delivered(bool sent) {
    if (sent) {
        Link().State().Bus.Modules(id_).SetMode(mode_);
    }
    Finish(sent ? ApplyOutcome::Sent : ApplyOutcome::Refused);
}

bool RelayApply::Start(int id, std::uint8_t relay, bool eeprom) {
    if (!Begin()) {
        return false;
    }
    id_ = id;
    mode_ = WithRelay(Link().State().Bus.Modules(id).GetMode(), relay);
    if (!delivery_.Send(ModuleFrame(eeprom ? kCmdWrite : kCmdSet, id, mode_))) {
        EndSoon([this] { Finish(ApplyOutcome::Refused); });
    }
    return true;
}

void RelayApply::EndStopped() {
    if (delivery_.Pending() && delivery_.Stop()) {
        Delivered(true);  // it had left: the module has it
        return;
    }
    Finish(ApplyOutcome::Stopped);
}

void RelayApply::Finish(ApplyOutcome outcome) {
    if (End()) {
        emit finished(outcome);
    }
}

}  // namespace quorval

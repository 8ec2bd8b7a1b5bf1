#include "session/FrameDelivery.h"

#include "link/ModuleLink.h"

namespace quorval {

FrameDelivery::FrameDelivery(ModuleLink& link, QObject* parent)
    : QObject(parent), link_(link), poll_(this) {
    // The port hands bytes to the device from the event loop: look after every turn.
    poll_.setInterval(1);
    connect(&poll_, &QTimer::timeout, this, &FrameDelivery::Check);
}

bool FrameDelivery::Send(const CommandFrame& frame) {
    if (!link_.SendCommand(frame)) {
        return false;
    }
    clock_.start();
    poll_.start();
    return true;
}

bool FrameDelivery::Stop() {
    poll_.stop();
    const MSComm& port = link_.Port();
    if (port.PortOpen() && port.BytesToWrite() == 0) {
        return true;
    }
    link_.DiscardOutput();
    return false;
}

void FrameDelivery::Check() {
    const MSComm& port = link_.Port();
    const bool late = clock_.elapsed() >= kLimitMs;
    // Checked in this order: a port closed meanwhile reports nothing waiting.
    if (!port.PortOpen()) {
        // A device that went away ends the exchange through the link, which
        // tells it before anyone hears of the loss.
        if (port.LastError() != MSComm::kErrLinkLost || late) {
            Done(false);
        }
        return;
    }
    if (port.BytesToWrite() == 0) {
        Done(true);
    } else if (late) {
        link_.DiscardOutput();
        Done(false);
    }
}

void FrameDelivery::Done(bool sent) {
    poll_.stop();
    emit delivered(sent);
}

}  // namespace quorval

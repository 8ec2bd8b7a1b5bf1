#include "link/ModuleLink.h"

#include "common/Global.h"
#include "link/CommandFrame.h"

namespace quorval {

ModuleLink::ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent)
    : QObject(parent), g_(g), port_(std::move(port)) {
    Timer1.setInterval(kTimerIntervalMs);
    Timer2.setInterval(kTimerIntervalMs);
}

bool ModuleLink::SendCommand(std::uint8_t cmd) { return quorval::SendCommand(g_, *port_, cmd); }

void ModuleLink::ReadSerialInput() {
    Timer1.stop();
    Timer2.stop();
    const QByteArray bytes = port_->Input();
    for (const char byte : bytes) {
        rx_.Store(static_cast<std::uint8_t>(byte));
    }
    g_.RxPending = true;
    Timer2.start();
    Timer1.start();
}

}  // namespace quorval

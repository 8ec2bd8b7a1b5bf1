#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QTimer>

#include "link/MSComm.h"
#include "link/ReceiveBuffer.h"

namespace quorval {

struct Global;

// The link to the module system: the port, the receive buffer and the two
// timers (receive poll and parse pass). The main window owns one; so does the
// command-line companion.
class ModuleLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimerIntervalMs = 100;

    ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent = nullptr);

    Global& State() { return g_; }
    MSComm& MSComm1() { return *port_; }
    ReceiveBuffer& Rx() { return rx_; }

    // One command frame from cmd and the TxByte parameters; true when queued.
    bool SendCommand(std::uint8_t cmd);

    // Moves every waiting byte into the ring, marks it pending and restarts
    // both timers (parse first, then poll).
    void ReadSerialInput();

    QTimer Timer1;  // receive poll
    QTimer Timer2;  // parse pass

private:
    Global& g_;
    std::unique_ptr<MSComm> port_;
    ReceiveBuffer rx_;
};

}  // namespace quorval

#include "link/ModuleLink.h"

#include <QElapsedTimer>

#include "common/EventYield.h"
#include "link/CommandFrame.h"
#include "model/Global.h"

namespace quorval {

ModuleLink::ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent)
    : QObject(parent), g_(g), port_(std::move(port)) {
    Timer1.setInterval(kTimerIntervalMs);
    Timer2.setInterval(kTimerIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &ModuleLink::ReceivePoll);
    connect(&Timer2, &QTimer::timeout, this, &ModuleLink::ParsePass);
    port_->SetLostHandler([this](const QString& reason) { emit LinkLost(reason); });
}

ModuleLink::Exchange::Exchange(ModuleLink& link) : link_(&link) {
    connection_ = QObject::connect(&link, &ModuleLink::LinkLost, [this] { lost_ = true; });
    if (link.exchanges_++ == 0) {
        emit link.BusyChanged(true);
    }
}

ModuleLink::Exchange::~Exchange() {
    QObject::disconnect(connection_);
    if (link_ && --link_->exchanges_ == 0) {
        emit link_->BusyChanged(false);
    }
}

bool ModuleLink::SendCommand(std::uint8_t cmd) {
    if (stopRequested_) {
        return false;
    }
    return quorval::SendCommand(g_, *port_, cmd);
}

bool ModuleLink::DeliverCommand(std::uint8_t cmd) {
    const Exchange exchange(*this);
    if (!SendCommand(cmd)) {
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        // Checked in this order: a port closed meanwhile reports nothing waiting.
        if (!port_->PortOpen()) {
            // A lost device is told after its close: the caller's exchange has
            // heard of it when this returns, so that it is told only once.
            if (port_->LastError() == MSComm::kErrLinkLost) {
                WaitUntil([&] { return exchange.Lost(); }, kDeliverLimitMs);
            }
            return false;
        }
        if (port_->BytesToWrite() == 0) {
            return true;
        }
        if (clock.elapsed() >= kDeliverLimitMs || stopRequested_) {
            port_->DiscardOutput();
            return false;
        }
        YieldToEventLoop();
    }
}

QString ModuleLink::PortProblem() const {
    if (port_->PortOpen()) {
        return QStringLiteral("the port did not send it in time");
    }
    if (port_->LastError() == MSComm::kErrLinkLost) {
        return QStringLiteral("connection lost: %1").arg(port_->LastErrorText());
    }
    return QStringLiteral("the port is not open; choose Refresh or Settings > Select COM port");
}

void ModuleLink::StartTimers() {
    Timer1.start();
    Timer2.start();
}

void ModuleLink::ReceivePoll() {
    if (port_->InBufferCount() == 0) {
        return;
    }
    const int moved = ReadSerialInput();
    if (moved > 0) {
        emit DebugLine(QStringLiteral("Bytes received: %1").arg(moved));
        emit BytesArrived(moved);
    }
}

int ModuleLink::ReadSerialInput() {
    Timer1.stop();
    Timer2.stop();
    // A ring that wrapped would overwrite answers not parsed yet.
    const QByteArray bytes = port_->Input(rx_.Room());
    const int moved = rx_.Append(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<int>(bytes.size()));
    g_.RxPending = true;
    Timer2.start();
    Timer1.start();
    return moved;
}

void ModuleLink::ParsePass() {
    if (g_.RxPending) {
        Timer1.stop();
        Timer2.stop();
        ParseEvents events;
        events.dumpLine = [this](std::string_view line) {
            emit DebugLine(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        };
        events.frame = [this](const ResponseFrame& frame, FrameOutcome outcome) {
            emit FrameParsed(frame, outcome);
            if (outcome == FrameOutcome::New && frame.Letter == 'G') {
                emit AttachedModeReported(frame.Mode);
            }
        };
        parser_.Pass(rx_, {g_.Bus, g_.GModuleID}, g_.DebugEnabled, clock_, events);
        g_.RxPending = false;
    }
    // Timer2 keeps running until bytes arrive; after a pass only a read starts it.
    if (!Timer1.isActive()) {
        Timer1.start();
    }
}

}  // namespace quorval

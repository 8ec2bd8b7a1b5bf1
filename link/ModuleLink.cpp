#include "link/ModuleLink.h"

#include "model/Global.h"

namespace quorval {

ModuleLink::ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent)
    : QObject(parent), g_(g), port_(std::move(port)) {
    timer1_.setInterval(kTimerIntervalMs);
    timer2_.setInterval(kTimerIntervalMs);
    connect(&timer1_, &QTimer::timeout, this, &ModuleLink::ReceivePoll);
    connect(&timer2_, &QTimer::timeout, this, &ModuleLink::ParsePass);
    port_->SetLostHandler([this](const QString& reason) { OnLost(reason); });
}

ModuleLink::~ModuleLink() {
    port_->SetLostHandler({});
}

bool ModuleLink::SendCommand(const CommandFrame& frame) {
    if (stopRequested_) {
        return false;
    }
    return WriteFrame(*port_, frame);
}

void ModuleLink::RequestStop() {
    stopRequested_ = true;
    if (current_) {
        current_->EndStopped();
    }
}

bool ModuleLink::Claim(LineExchange& exchange) {
    if (current_ || stopRequested_) {
        return false;
    }
    current_ = &exchange;
    emit BusyChanged(true);
    return true;
}

void ModuleLink::Release(LineExchange& exchange) {
    if (current_ != &exchange) {
        return;
    }
    current_ = nullptr;
    emit BusyChanged(false);
}

void ModuleLink::OnLost(const QString& reason) {
    // Nothing more goes out for the exchange that waited; then the loss is told.
    if (current_) {
        current_->EndLinkLost();
    }
    emit LinkLost(reason);
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
    timer1_.start();
    timer2_.start();
}

void ModuleLink::StopTimers() {
    timer1_.stop();
    timer2_.stop();
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
    timer1_.stop();
    timer2_.stop();
    // A ring that wrapped would overwrite answers not parsed yet.
    const QByteArray bytes = port_->Input(rx_.Room());
    const int moved = rx_.Append(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<int>(bytes.size()));
    g_.RxPending = true;
    timer2_.start();
    timer1_.start();
    return moved;
}

void ModuleLink::ParsePass() {
    if (g_.RxPending) {
        timer1_.stop();
        timer2_.stop();
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
    if (!timer1_.isActive()) {
        timer1_.start();
    }
}

}  // namespace quorval

#include "link/ModuleLink.h"

#include "model/Global.h"

namespace quorval {

ModuleLink::ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent)
    : QObject(parent), g_(g), MSComm1(std::move(port)) {
    Timer1.setInterval(kTimerIntervalMs);
    Timer2.setInterval(kTimerIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &ModuleLink::ReceivePoll);
    connect(&Timer2, &QTimer::timeout, this, &ModuleLink::ParsePass);
    MSComm1->SetLostHandler([this](const QString& reason) { OnLost(reason); });
}

ModuleLink::~ModuleLink() {
    MSComm1->SetLostHandler({});
}

bool ModuleLink::SendCommand(const CommandFrame& frame) {
    if (stopRequested_) {
        return false;
    }
    return WriteFrame(*MSComm1, frame);
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
    if (MSComm1->PortOpen()) {
        return QStringLiteral("the port did not send it in time");
    }
    if (MSComm1->LastError() == MSComm::kErrLinkLost) {
        return QStringLiteral("connection lost: %1").arg(MSComm1->LastErrorText());
    }
    return QStringLiteral("the port is not open; choose Refresh or Settings > Select COM port");
}

void ModuleLink::StartTimers() {
    Timer1.start();
    Timer2.start();
}

void ModuleLink::StopTimers() {
    Timer1.stop();
    Timer2.stop();
}

void ModuleLink::ReceivePoll() {
    if (MSComm1->InBufferCount() == 0) {
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
    const QByteArray bytes = MSComm1->Input(rx_.Room());
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

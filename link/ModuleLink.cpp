#include "link/ModuleLink.h"

#include <cstring>

#include <QElapsedTimer>

#include "common/EventYield.h"
#include "common/Global.h"
#include "link/CommandFrame.h"

namespace quorval {

namespace {

bool IsScanAnswer(std::uint8_t letter) {
    return letter == 'G' || letter == 'L' || letter == 'R';
}

}  // namespace

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
    for (const char byte : bytes) {
        rx_.Store(static_cast<std::uint8_t>(byte));
    }
    g_.RxPending = true;
    Timer2.start();
    Timer1.start();
    return static_cast<int>(bytes.size());
}

void ModuleLink::DumpNewBytes() {
    // Each byte is shown once, as received, eleven to a line; a kept tail was
    // shown in the pass that received it.
    int from = rx_.RxReadIndex > dumpedPrefix_ ? rx_.RxReadIndex : dumpedPrefix_;
    if (from > rx_.RxWriteIndex) {
        from = rx_.RxReadIndex;  // the ring wrapped over the kept tail
    }
    for (int i = from; i < rx_.RxWriteIndex; ++i) {
        dumpLine_ += QStringLiteral(" %1")
                         .arg(rx_.RxBuffer[static_cast<std::size_t>(i)], 2, 16, QLatin1Char('0'))
                         .toUpper();
        if (++dumpCount_ == static_cast<int>(kResponseFrameSize)) {
            emit DebugLine(dumpLine_);
            dumpLine_.clear();
            dumpCount_ = 0;
        }
    }
}

void ModuleLink::ParsePass() {
    if (!g_.RxPending) {
        EndOfPass();  // Timer2 keeps running until bytes arrive
        return;
    }
    Timer1.stop();
    Timer2.stop();
    if (g_.DebugEnabled) {
        DumpNewBytes();
    } else {
        dumpLine_.clear();
        dumpCount_ = 0;
    }
    bool sort = false;
    ModuleTable& table = g_.Bus;
    for (;;) {
        const int read = rx_.RxReadIndex;
        const int available = rx_.RxWriteIndex - read;
        if (available < static_cast<int>(kResponseFrameSize)) {
            break;  // nothing left, or an incomplete frame kept for the next pass
        }
        const std::uint8_t* p = rx_.RxBuffer.data() + read;
        const auto frame = DecodeResponseFrame(p);
        if (!frame) {
            // Noise or the rest of a broken frame: look for the next frame start.
            ++rx_.RxReadIndex;
            continue;
        }
        rx_.RxReadIndex = static_cast<std::int16_t>(read + static_cast<int>(kResponseFrameSize));
        const float now = clock_();
        if (!IsValidModuleID(frame->ModuleID)) {
            emit FrameParsed(*frame, FrameOutcome::OutOfRange);
            continue;
        }
        const auto id = static_cast<std::int16_t>(frame->ModuleID);
        const bool scanAnswer = IsScanAnswer(frame->Letter);
        if (frame->Letter == 'G') {
            sort = true;
            g_.GModuleID = id;
        }
        if (scanAnswer && table.IsInOrder(id)) {
            emit FrameParsed(*frame, FrameOutcome::Repeat);
            continue;
        }
        ModuleData& record = table.Modules(id);
        record.SetModuleID(id);
        record.SetSide(frame->Letter);
        record.SetTimeStamp(now);
        record.SetVersion(frame->Version);
        record.SetStatusChannel1(frame->StatusChannel1);
        record.SetStatusChannel2(frame->StatusChannel2);
        record.SetErrorCounterChannel1(frame->ErrorCounterChannel1);
        record.SetErrorCounterChannel2(frame->ErrorCounterChannel2);
        record.SetMode(frame->Mode);
        if (scanAnswer) {
            table.AppendToOrder(id);
            sort = true;  // answers of one scan may be spread over several passes
        }
        emit FrameParsed(*frame, FrameOutcome::New);
        if (frame->Letter == 'G') {
            emit AttachedModeReported(frame->Mode);
        }
    }
    if (sort) {
        table.SortModulesBySide();
    }
    EndOfPass();
}

void ModuleLink::EndOfPass() {
    // Keep an incomplete frame at the start of the buffer; its rest is on the way.
    const int read = rx_.RxReadIndex;
    const int tail = rx_.RxWriteIndex - read;
    if (tail > 0 && tail < static_cast<int>(kResponseFrameSize)) {
        std::memmove(rx_.RxBuffer.data(), rx_.RxBuffer.data() + read,
                     static_cast<std::size_t>(tail));
        rx_.RxWriteIndex = static_cast<std::int16_t>(tail);
        dumpedPrefix_ = tail;
    } else {
        rx_.RxWriteIndex = 0;
        dumpedPrefix_ = 0;
    }
    rx_.RxReadIndex = 0;
    g_.RxPending = false;
    if (!Timer1.isActive()) {
        Timer1.start();
    }
}

}  // namespace quorval

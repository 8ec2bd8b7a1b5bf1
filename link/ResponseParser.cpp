#include "link/ResponseParser.h"

#include <cstring>

#include "model/ModuleTable.h"

namespace quorval {

namespace {

constexpr int kFrameSize = static_cast<int>(kResponseFrameSize);

bool IsScanAnswer(std::uint8_t letter) {
    return letter == 'G' || letter == 'L' || letter == 'R';
}

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

}  // namespace

void ResponseParser::Dump(const ReceiveBuffer& rx, const ParseEvents& events) {
    // Each byte is shown once, as received, eleven to a line; a kept tail was
    // shown in the pass that received it.
    int from = rx.RxReadIndex > dumpedPrefix_ ? rx.RxReadIndex : dumpedPrefix_;
    if (from > rx.RxWriteIndex) {
        from = rx.RxReadIndex;  // the ring wrapped over the kept tail
    }
    for (int i = from; i < rx.RxWriteIndex; ++i) {
        const std::uint8_t byte = rx.RxBuffer[static_cast<std::size_t>(i)];
        char* at = dumpLine_.data() + 3 * dumpCount_;
        at[0] = ' ';
        at[1] = kHexDigits[byte >> 4];
        at[2] = kHexDigits[byte & 0x0F];
        if (++dumpCount_ == kResponseFrameSize) {
            if (events.dumpLine) {
                events.dumpLine(std::string_view(dumpLine_.data(), dumpLine_.size()));
            }
            dumpCount_ = 0;
        }
    }
}

void ResponseParser::Pass(ReceiveBuffer& rx, const ParseTarget& to, bool debug,
                          const TimeOfDay& clock, const ParseEvents& events) {
    if (debug) {
        Dump(rx, events);
    } else {
        dumpCount_ = 0;
    }
    const auto tell = [&events](const ResponseFrame& frame, FrameOutcome outcome) {
        if (events.frame) {
            events.frame(frame, outcome);
        }
    };
    bool sort = false;
    ModuleTable& table = to.table;
    for (;;) {
        const int read = rx.RxReadIndex;
        if (rx.RxWriteIndex - read < kFrameSize) {
            break;  // nothing left, or an incomplete frame kept for the next pass
        }
        const auto frame = DecodeResponseFrame(rx.RxBuffer.data() + read);
        if (!frame) {
            // Noise or the rest of a broken frame: look for the next frame start.
            ++rx.RxReadIndex;
            continue;
        }
        rx.RxReadIndex = static_cast<std::int16_t>(read + kFrameSize);
        const float now = clock();
        if (!IsValidModuleID(frame->ModuleID)) {
            tell(*frame, FrameOutcome::OutOfRange);
            continue;
        }
        const auto id = static_cast<std::int16_t>(frame->ModuleID);
        const bool scanAnswer = IsScanAnswer(frame->Letter);
        if (frame->Letter == 'G') {
            sort = true;
            to.attachedId = id;
        }
        if (scanAnswer && table.IsInOrder(id)) {
            tell(*frame, FrameOutcome::Repeat);
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
        tell(*frame, FrameOutcome::New);
    }
    if (sort) {
        table.SortModulesBySide();
    }
    KeepTail(rx);
}

void ResponseParser::KeepTail(ReceiveBuffer& rx) {
    // Keep an incomplete frame at the start of the buffer; its rest is on the way.
    const int read = rx.RxReadIndex;
    const int tail = rx.RxWriteIndex - read;
    if (tail > 0 && tail < kFrameSize) {
        std::memmove(rx.RxBuffer.data(), rx.RxBuffer.data() + read, static_cast<std::size_t>(tail));
        rx.RxWriteIndex = static_cast<std::int16_t>(tail);
        dumpedPrefix_ = tail;
    } else {
        rx.RxWriteIndex = 0;
        dumpedPrefix_ = 0;
    }
    rx.RxReadIndex = 0;
}

}  // namespace quorval

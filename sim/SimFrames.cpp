#include "sim/SimFrames.h"

namespace lwlsim {

std::optional<Command> CommandScanner::Next() {
    while (pending_.size() >= 7) {
        const bool capital = pending_[0] >= 'A' && pending_[0] <= 'Z';
        if (capital && pending_[4] == 0x0A && pending_[5] == 0x0D && pending_[6] == 0x00) {
            Command c;
            for (std::size_t i = 0; i < 7; ++i) {
                c.raw[i] = pending_[i];
            }
            c.letter = c.raw[0];
            c.id = static_cast<std::uint16_t>(c.raw[1] | (c.raw[2] << 8));
            c.mode = c.raw[3];
            pending_.erase(pending_.begin(), pending_.begin() + 7);
            return c;
        }
        pending_.pop_front();
    }
    return std::nullopt;
}

std::array<std::uint8_t, 11> EncodeReport(const Report& r) {
    const auto lo = [](unsigned v) { return static_cast<std::uint8_t>(v & 0xFFu); };
    const auto hi7 = [](unsigned v, bool flag) {
        return static_cast<std::uint8_t>(((v >> 8) & 0x7Fu) | (flag ? 0x80u : 0u));
    };
    return {r.letter,
            lo(r.id),
            lo(r.id >> 8),
            r.version,
            r.mode,
            lo(r.ch2Count),
            hi7(r.ch2Count, r.ch2Error),
            lo(r.ch1Count),
            hi7(r.ch1Count, r.ch1Error),
            0x0A,
            0x0D};
}

}  // namespace lwlsim

#include "link/ResponseFrame.h"

namespace quorval {

bool IsResponseFrame(const std::uint8_t* p) {
    return p[0] >= kLowestResponseLetter && p[9] == 0x0A && p[10] == 0x0D;
}

std::optional<ResponseFrame> DecodeResponseFrame(const std::uint8_t* p) {
    if (!IsResponseFrame(p)) {
        return std::nullopt;
    }
    ResponseFrame f;
    f.Letter = p[0];
    f.ModuleID = p[1] + 256 * p[2];
    f.Version = p[3];
    f.Mode = p[4];
    f.ErrorCounterChannel2 = static_cast<std::int16_t>(p[5] + 256 * (p[6] & 0x7F));
    f.StatusChannel2 = (p[6] & 0x80) != 0;
    f.ErrorCounterChannel1 = static_cast<std::int16_t>(p[7] + 256 * (p[8] & 0x7F));
    f.StatusChannel1 = (p[8] & 0x80) != 0;
    return f;
}

}  // namespace quorval

#include "model/RelayLogic.h"

#include "model/ModeByte.h"

namespace quorval {

std::uint8_t RelayValueForText(const QString& text) {
    for (std::size_t i = 1; i < kRelayCaptions.size(); ++i) {
        if (text == QLatin1String(kRelayCaptions[i])) {
            return static_cast<std::uint8_t>(i << 4);
        }
    }
    return 0x00;
}

std::uint8_t WithRelay(std::uint8_t mode, std::uint8_t relayValue) {
    return static_cast<std::uint8_t>((mode & ~kModeRelayMask) | (relayValue & kModeRelayMask));
}

}  // namespace quorval

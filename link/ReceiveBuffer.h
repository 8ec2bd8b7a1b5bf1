#pragma once

#include <array>
#include <cstdint>

namespace quorval {

constexpr int kRxBufferSize = 1024;

// Bytes as they arrived from the port, written as a ring.
struct ReceiveBuffer {
    std::array<std::uint8_t, kRxBufferSize> RxBuffer{};
    std::int16_t RxWriteIndex = 0;
    std::int16_t RxReadIndex = 0;

    // Bytes that can be stored before the write position would wrap to 0.
    int Room() const { return kRxBufferSize - 1 - RxWriteIndex; }

    // After position 1023 writing goes on at 0 and overwrites the oldest bytes.
    void Store(std::uint8_t byte) {
        RxBuffer[static_cast<std::size_t>(RxWriteIndex)] = byte;
        RxWriteIndex = RxWriteIndex < kRxBufferSize - 1
                           ? static_cast<std::int16_t>(RxWriteIndex + 1)
                           : std::int16_t{0};
    }
};

}  // namespace quorval

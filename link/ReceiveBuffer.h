#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quorval {

constexpr int kRxBufferSize = 1024;

// Bytes as they arrived from the port, in arrival order. A poll stores no more
// than fits before the parse pass empties it, so nothing is overwritten.
struct ReceiveBuffer {
    std::array<std::uint8_t, kRxBufferSize> RxBuffer{};
    std::int16_t RxWriteIndex = 0;
    std::int16_t RxReadIndex = 0;

    // Bytes that can be stored before the write position would wrap to 0.
    int Room() const { return kRxBufferSize - 1 - RxWriteIndex; }

    // Stores as many of the bytes as there is room for without wrapping; returns
    // how many (the rest must wait for the next pass).
    int Append(const std::uint8_t* bytes, int count) {
        const int n = std::clamp(count, 0, Room());
        if (n > 0) {
            std::memcpy(RxBuffer.data() + RxWriteIndex, bytes, static_cast<std::size_t>(n));
            RxWriteIndex = static_cast<std::int16_t>(RxWriteIndex + n);
        }
        return n;
    }
};

}  // namespace quorval

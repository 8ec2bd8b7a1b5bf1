#pragma once

#include <cstdint>

#include <QString>

namespace quorval {

// Relay bits (0x00, 0x10, 0x20, 0x30) for a relay caption; an exact match only,
// anything else (other case, typed text) gives 0x00.
std::uint8_t RelayValueForText(const QString& text);

// The mode with its relay bits replaced; topology, identifiers and baud rate kept.
std::uint8_t WithRelay(std::uint8_t mode, std::uint8_t relayValue);

}  // namespace quorval

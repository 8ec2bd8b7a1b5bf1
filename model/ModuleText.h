#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace quorval {

// A firmware version byte counts tenths: 34 -> "3.4", 5 -> "0.5".
QString VersionText(std::uint8_t version);

// A configuration byte in words, by the captions of its parts.
struct ModeText {
    QString baud;         // "125 KBit/s", or "baud code 0" for a code without a caption
    QString identifiers;  // "11-bit" or "29-bit"
    QString topology;     // "line or ring" or "point to point"
    QString relay;        // the relay caption
};
ModeText DecodeMode(std::uint8_t mode);
// All four parts in one line: "125 KBit/s, 11-bit identifiers, line or ring, ...".
QString DecodedMode(std::uint8_t mode);

// A module ID typed or shown as text: a whole decimal number 0..32000, else nothing.
std::optional<int> ModuleIdFromText(const QString& text);

}  // namespace quorval

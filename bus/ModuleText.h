#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace quorval {

// A firmware version byte counts tenths: 34 -> "3.4", 5 -> "0.5".
QString VersionText(std::uint8_t version);

// A module ID typed or shown as text: a whole decimal number 0..32000, else nothing.
std::optional<int> ModuleIdFromText(const QString& text);

}  // namespace quorval

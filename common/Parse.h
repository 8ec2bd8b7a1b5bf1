#pragma once

// Text as people write it in files and on command lines: ASCII case folding,
// blanks at the ends, and numbers within a range, read by the same rules in
// the programs, the simulator and the fuzzers.

#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace quorval {

// Names and keys are ASCII: only A to Z fold.
char LowerAscii(char c);
std::string LowerAscii(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);

// Without blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view s);

// A whole number exactly as written: digits only, no sign, no blank (trim
// first where blanks may stand around it), no fraction. Nothing for anything
// else and for a value outside lo..hi (0 <= lo <= hi), however many digits.
enum class Radix {
    Decimal,
    Hex,          // digits and a..f, A..F, without 0x
    DecimalOr0x,  // decimal, or hex after 0x
};
std::optional<long long> ParseWhole(std::string_view text, long long lo, long long hi,
                                    Radix radix = Radix::Decimal);

// Digits with an optional fraction ("2", "0.5"): no sign, no exponent, no
// blank, within lo..hi (0 <= lo).
std::optional<double> ParseDecimal(std::string_view text, double lo, double hi);
// The same of a command line's argument: seconds from lo to hi.
std::optional<double> SecondsFromText(const QString& text, double lo, double hi);

}  // namespace quorval

#include "common/Parse.h"

namespace quorval {

namespace {

// The value of a digit in the base, -1 for a character that is none.
int Digit(char c, int base) {
    const int d = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
    return d < base ? d : -1;
}

}  // namespace

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view s) {
    std::string lower(s);
    for (char& c : lower) {
        c = LowerAscii(c);
    }
    return lower;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) {
        return {};
    }
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::optional<long long> ParseWhole(std::string_view text, long long lo, long long hi,
                                    Radix radix) {
    int base = radix == Radix::Hex ? 16 : 10;
    if (radix == Radix::DecimalOr0x && text.size() > 2 && text[0] == '0' &&
        (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || lo < 0 || hi < lo) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : text) {
        const int digit = Digit(c, base);
        // value * base + digit > hi, asked without computing it: no overflow.
        if (digit < 0 || value > (hi - digit) / base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseDecimal(std::string_view text, double lo, double hi) {
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (whole.empty() || (dot != std::string_view::npos && fraction.empty()) || lo < 0) {
        return std::nullopt;
    }
    double value = 0;
    for (const char c : whole) {
        const int digit = Digit(c, 10);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 10 + digit;
        if (value > hi) {
            return std::nullopt;  // before a long run of digits can reach infinity
        }
    }
    double scale = 0.1;
    for (const char c : fraction) {
        const int digit = Digit(c, 10);
        if (digit < 0) {
            return std::nullopt;
        }
        value += digit * scale;
        scale /= 10;
    }
    if (value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> SecondsFromText(const QString& text, double lo, double hi) {
    return ParseDecimal(text.toStdString(), lo, hi);
}

}  // namespace quorval

#include "sim/SimSystem.h"

#include <SimpleIni.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace lwlsim {

namespace {

constexpr long kMaxFileBytes = 1 << 20;

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) {
        return {};
    }
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

bool FileTooLarge(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > kMaxFileBytes;
}

// Section "module 700" -> 700.
std::optional<long> ModuleSectionID(const std::string& section) {
    const std::string s = Lower(Trim(section));
    if (s.rfind("module", 0) != 0 || s.size() <= 6 || (s[6] != ' ' && s[6] != '\t')) {
        return std::nullopt;
    }
    return ParseNumber(s.substr(7), 0, 65535);
}

struct KeyReader {
    CSimpleIniA& ini;
    const char* section;
    std::string& error;
    const std::string& path;

    bool Number(const char* key, long lo, long hi, long& out) {
        const char* v = ini.GetValue(section, key, nullptr);
        if (!v) {
            return true;
        }
        const auto n = ParseNumber(v, lo, hi);
        if (!n) {
            error = path + ": [" + section + "] " + key + " = '" + v + "' is not a number from " +
                    std::to_string(lo) + " to " + std::to_string(hi);
            return false;
        }
        out = *n;
        return true;
    }
};

// Catches typing errors: every key of a section must be one it knows.
bool OnlyKnownKeys(const CSimpleIniA::TNamesDepend& keys, std::initializer_list<const char*> known,
                   const std::string& path, const std::string& section, std::string& error) {
    for (const auto& k : keys) {
        bool ok = false;
        for (const char* name : known) {
            ok = ok || Lower(k.pItem) == name;
        }
        if (!ok) {
            error = path + ": [" + section + "] unknown key '" + k.pItem + "'";
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<long> ParseNumber(const std::string& text, long lo, long hi) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 12) {
        return std::nullopt;
    }
    int base = 10;
    std::size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        start = 2;
    }
    long value = 0;
    for (std::size_t i = start; i < t.size(); ++i) {
        const char c = t[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

SimSystem SimSystem::Default() {
    SimSystem s;
    const auto add = [&s](std::uint16_t id, char side) {
        SimModule m;
        m.id = id;
        m.side = side;
        s.modules.push_back(m);
        return &s.modules.back();
    };
    add(100, 'G');
    add(205, 'L');
    add(310, 'L');
    add(120, 'R');
    add(415, 'R');
    add(530, 'R');
    s.Find(310)->ch2Error = true;
    s.Find(310)->ch2Count = 17;
    return s;
}

std::optional<SimSystem> SimSystem::Load(const std::string& path, std::string& error) {
    if (FileTooLarge(path)) {
        error = path + ": larger than 1 MiB";
        return std::nullopt;
    }
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadFile(path.c_str()) < 0) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    SimSystem sys;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    int attached = 0;
    for (const auto& entry : sections) {
        const std::string name = entry.pItem;
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(entry.pItem, keys);
        if (Lower(Trim(name)) == "system") {
            KeyReader r{ini, entry.pItem, error, path};
            long turnaround = sys.turnaroundMs;
            if (!r.Number("turnaround_ms", 0, 1000, turnaround)) {
                return std::nullopt;
            }
            sys.turnaroundMs = static_cast<int>(turnaround);
            if (!OnlyKnownKeys(keys, {"turnaround_ms"}, path, name, error)) {
                return std::nullopt;
            }
            continue;
        }
        const auto id = ModuleSectionID(name);
        if (!id) {
            error = path + ": section [" + name +
                    "] is neither [system] nor [module ID] with an ID from 0 to 65535";
            return std::nullopt;
        }
        for (const auto& m : sys.modules) {
            if (m.id == *id) {
                error = path + ": module " + std::to_string(*id) + " is listed twice";
                return std::nullopt;
            }
        }
        SimModule m;
        m.id = static_cast<std::uint16_t>(*id);
        KeyReader r{ini, entry.pItem, error, path};
        long version = m.version, mode = m.mode, e1 = 0, e2 = 0, c1 = 0, c2 = 0, answers = 1;
        long corrupt = -1, corruptValue = 0, split = -1, splitMs = 100;
        if (!r.Number("version", 0, 255, version) || !r.Number("mode", 0, 255, mode) ||
            !r.Number("ch1_error", 0, 1, e1) || !r.Number("ch2_error", 0, 1, e2) ||
            !r.Number("ch1_count", 0, 32767, c1) || !r.Number("ch2_count", 0, 32767, c2) ||
            !r.Number("answers", 0, 1, answers) || !r.Number("corrupt", 0, 10, corrupt) ||
            !r.Number("corrupt_value", 0, 255, corruptValue) || !r.Number("split", 1, 10, split) ||
            !r.Number("split_ms", 0, 5000, splitMs)) {
            return std::nullopt;
        }
        m.version = static_cast<std::uint8_t>(version);
        m.mode = static_cast<std::uint8_t>(mode);
        m.ch1Error = e1 != 0;
        m.ch2Error = e2 != 0;
        m.ch1Count = static_cast<std::uint16_t>(c1);
        m.ch2Count = static_cast<std::uint16_t>(c2);
        m.answers = answers != 0;
        m.corruptOffset = static_cast<int>(corrupt);
        m.corruptValue = static_cast<std::uint8_t>(corruptValue);
        m.splitOffset = static_cast<int>(split);
        m.splitMs = static_cast<int>(splitMs);
        const std::string side = Trim(ini.GetValue(entry.pItem, "side", "L"));
        if (side != "G" && side != "L" && side != "R" && side != "g" && side != "l" &&
            side != "r") {
            error = path + ": [" + name + "] side = '" + side + "' is not G, L or R";
            return std::nullopt;
        }
        m.side = static_cast<char>(side[0] & ~0x20);
        attached += m.side == 'G' ? 1 : 0;
        if (const char* noise = ini.GetValue(entry.pItem, "noise", nullptr)) {
            std::istringstream in(noise);
            std::string token;
            while (in >> token) {
                const auto b = ParseNumber(token.size() <= 2 ? "0x" + token : token, 0, 255);
                if (!b) {
                    error = path + ": [" + name + "] noise = '" + noise +
                            "' is not a list of hex bytes";
                    return std::nullopt;
                }
                m.noise.push_back(static_cast<std::uint8_t>(*b));
            }
        }
        if (!OnlyKnownKeys(
                keys,
                {"version", "mode", "side", "ch1_error", "ch2_error", "ch1_count", "ch2_count",
                 "answers", "noise", "corrupt", "corrupt_value", "split", "split_ms"},
                path, name, error)) {
            return std::nullopt;
        }
        sys.modules.push_back(std::move(m));
    }
    if (attached != 1) {
        error = path +
                ": exactly one module must have side = G (the one attached to the PC), found " +
                std::to_string(attached);
        return std::nullopt;
    }
    return sys;
}

SimModule* SimSystem::Find(std::uint16_t id) {
    for (auto& m : modules) {
        if (m.id == id) {
            return &m;
        }
    }
    return nullptr;
}

std::vector<const SimModule*> SimSystem::ScanOrder() const {
    std::vector<const SimModule*> order, left, right;
    for (const auto& m : modules) {
        if (m.side == 'G') {
            order.push_back(&m);
        } else if (m.side == 'L') {
            left.push_back(&m);
        } else {
            right.push_back(&m);
        }
    }
    for (std::size_t i = 0; i < left.size() || i < right.size(); ++i) {
        if (i < left.size()) {
            order.push_back(left[i]);
        }
        if (i < right.size()) {
            order.push_back(right[i]);
        }
    }
    return order;
}

bool SimSystem::LoadEeprom(const std::string& path, std::string& error) {
    if (FileTooLarge(path)) {
        error = path + ": larger than 1 MiB";
        return false;
    }
    CSimpleIniA ini;
    if (ini.LoadFile(path.c_str()) < 0) {
        return true;  // no EEPROM yet: nothing was written
    }
    for (auto& m : modules) {
        const std::string section = "module " + std::to_string(m.id);
        if (const char* v = ini.GetValue(section.c_str(), "mode", nullptr)) {
            const auto mode = ParseNumber(v, 0, 255);
            if (!mode) {
                error = path + ": [" + section + "] mode = '" + v + "' is not a byte";
                return false;
            }
            m.mode = static_cast<std::uint8_t>(*mode);
            eeprom[m.id] = m.mode;
        }
    }
    return true;
}

bool SimSystem::SaveEeprom(const std::string& path) const {
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) {
        return false;
    }
    for (const auto& [id, mode] : eeprom) {
        std::fprintf(f, "[module %u]\nmode = 0x%02X\n\n", static_cast<unsigned>(id),
                     static_cast<unsigned>(mode));
    }
    const bool ok = std::fclose(f) == 0;
    return ok && std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace lwlsim

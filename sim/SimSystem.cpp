#include "sim/SimSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "common/IniText.h"
#include "common/Parse.h"

namespace lwlsim {

using quorval::IniLine;
using quorval::IniLineKind;
using quorval::TextFile;

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr long kMaxModuleID = 32000;  // what a command frame can address

// Decimal or 0x hex, blanks around it allowed.
std::optional<long> ParseNumber(std::string_view text, long lo, long hi) {
    const auto n =
        quorval::ParseWhole(quorval::TrimBlanks(text), lo, hi, quorval::Radix::DecimalOr0x);
    return n ? std::optional<long>(static_cast<long>(*n)) : std::nullopt;
}

// The file as INI text; an empty one for a missing file when that is allowed.
std::optional<quorval::IniText> ReadIni(const std::string& path, bool missingOk,
                                        std::string& error) {
    const TextFile f = quorval::ReadTextFile(path, kMaxFileBytes);
    if (f.status == TextFile::Status::Ok) {
        return quorval::IniText::Parse(f.bytes);
    }
    if (f.status == TextFile::Status::Missing && missingOk) {
        return quorval::IniText();
    }
    error = path + ": " + quorval::TextFileProblem(f.status, kMaxFileBytes);
    return std::nullopt;
}

std::string At(const std::string& path, const IniLine& line) {
    return path + ":" + std::to_string(line.number) + ": ";
}

// A key's value without its comment.
std::string ValueOf(const IniLine& line) {
    return std::string(quorval::ValueBeforeComment(line.value));
}

struct Section {
    const IniLine* header;
    std::optional<long> id;  // none for [system]
    std::vector<const IniLine*> keys;

    const IniLine* Find(const char* key) const {
        for (const IniLine* k : keys) {
            if (quorval::EqualNoCase(k->name, key)) {
                return k;
            }
        }
        return nullptr;
    }
};

const std::initializer_list<const char*> kSystemKeys = {"turnaround_ms",   "query_letter",
                                                        "hangup_after_rx", "hangup_after_tx",
                                                        "stall_after_rx",  "stall_ms"};
const std::initializer_list<const char*> kModuleKeys = {
    "version",   "mode",     "side",     "ch1_error", "ch2_error",     "ch1_count",
    "ch2_count", "answers",  "noise",    "corrupt",   "corrupt_value", "split",
    "split_ms",  "ch1_rise", "ch2_rise", "ch1_reset", "ch2_reset",     "absent"};

constexpr double kMaxSeconds = 10'000'000.0;

// Seconds after the start: digits with an optional fraction ("2", "0.5").
std::optional<double> ParseSeconds(std::string_view text) {
    return quorval::ParseDecimal(quorval::TrimBlanks(text), 0, kMaxSeconds);
}

// The sections in file order, each with its keys. Refuses what a reader could
// take two ways (a section or key given twice) and what it would not know.
bool Group(const quorval::IniText& ini, const std::string& path, std::vector<Section>& out,
           std::string& error) {
    std::map<std::string, int> seen;  // "system" or "module ID" -> line
    for (const IniLine& line : ini.Lines()) {
        if (line.kind == IniLineKind::Blank || line.kind == IniLineKind::Comment) {
            continue;
        }
        if (line.kind == IniLineKind::Other) {
            error = At(path, line) + "'" + line.text +
                    "' is neither a [section], a key = value nor a ; comment";
            return false;
        }
        if (line.kind == IniLineKind::Section) {
            Section s{&line, std::nullopt, {}};
            std::string canonical = "system";
            const std::string name = quorval::LowerAscii(line.name);
            if (name != "system") {
                const bool module = name.rfind("module", 0) == 0 && name.size() > 6 &&
                                    (name[6] == ' ' || name[6] == '\t');
                s.id = module ? ParseNumber(name.substr(7), 0, 999999999) : std::nullopt;
                if (!s.id) {
                    error = At(path, line) + "section [" + line.name +
                            "] is neither [system] nor [module ID]";
                    return false;
                }
                if (*s.id > kMaxModuleID) {
                    error = At(path, line) + "[" + line.name + "]: module IDs go from 0 to 32000";
                    return false;
                }
                canonical = "module " + std::to_string(*s.id);
            }
            if (const auto first = seen.find(canonical); first != seen.end()) {
                error = At(path, line) + "[" + line.name + "] is listed twice (first on line " +
                        std::to_string(first->second) + ")";
                return false;
            }
            seen[canonical] = line.number;
            out.push_back(std::move(s));
            continue;
        }
        if (out.empty()) {
            error = At(path, line) + "key '" + line.name + "' comes before any section";
            return false;
        }
        Section& s = out.back();
        if (const IniLine* first = s.Find(line.name.c_str())) {
            error = At(path, line) + "[" + s.header->name + "] " + line.name +
                    " is set twice (first on line " + std::to_string(first->number) + ")";
            return false;
        }
        bool known = false;
        for (const char* k : s.id ? kModuleKeys : kSystemKeys) {
            known = known || quorval::EqualNoCase(line.name, k);
        }
        if (!known) {
            error = At(path, line) + "[" + s.header->name + "] unknown key '" + line.name + "'";
            return false;
        }
        s.keys.push_back(&line);
    }
    return true;
}

struct KeyReader {
    const Section& section;
    const std::string& path;
    std::string& error;

    bool Number(const char* key, long lo, long hi, long& out) {
        const IniLine* line = section.Find(key);
        if (!line) {
            return true;
        }
        const auto n = ParseNumber(ValueOf(*line), lo, hi);
        if (!n) {
            error = At(path, *line) + "[" + section.header->name + "] " + line->name + " = '" +
                    ValueOf(*line) + "' is not a number from " + std::to_string(lo) + " to " +
                    std::to_string(hi);
            return false;
        }
        out = *n;
        return true;
    }
};

bool ReadSystemSection(const Section& section, const std::string& path, SimSystem& sys,
                       std::string& error) {
    KeyReader r{section, path, error};
    long turnaround = sys.turnaroundMs, rx = 0, tx = 0, stall = 0, stallMs = sys.stallMs;
    if (!r.Number("turnaround_ms", 0, 1000, turnaround) ||
        !r.Number("hangup_after_rx", 0, 1000000, rx) ||
        !r.Number("hangup_after_tx", 0, 1000000, tx) ||
        !r.Number("stall_after_rx", 0, 1000000, stall) ||
        !r.Number("stall_ms", 0, 600000, stallMs)) {
        return false;
    }
    sys.turnaroundMs = static_cast<int>(turnaround);
    sys.hangupAfterRx = static_cast<int>(rx);
    sys.hangupAfterTx = static_cast<int>(tx);
    sys.stallAfterRx = static_cast<int>(stall);
    sys.stallMs = static_cast<int>(stallMs);
    if (const IniLine* line = section.Find("query_letter")) {
        // Not the letters the modules already use for other answers.
        const std::string v = ValueOf(*line);
        if (v.size() != 1 || v[0] < 'E' || v[0] > 'Z' || v[0] == 'G' || v[0] == 'L' ||
            v[0] == 'R') {
            error = At(path, *line) + "[" + section.header->name + "] query_letter = '" + v +
                    "' is not a capital letter from E to Z other than G, L and R";
            return false;
        }
        sys.queryLetter = v[0];
    }
    return true;
}

std::optional<SimModule> ReadModuleSection(const Section& section, const std::string& path,
                                           std::string& error) {
    SimModule m;
    m.id = static_cast<std::uint16_t>(*section.id);
    KeyReader r{section, path, error};
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
    if (const IniLine* line = section.Find("side")) {
        const std::string side = ValueOf(*line);
        if (side.size() != 1 || std::string("GLRglr").find(side[0]) == std::string::npos) {
            error = At(path, *line) + "[" + section.header->name + "] side = '" + side +
                    "' is not G, L or R";
            return std::nullopt;
        }
        m.side = static_cast<char>(side[0] & ~0x20);
    }
    const auto bad = [&](const IniLine& line, const char* what) {
        error = At(path, line) + "[" + section.header->name + "] " + line.name + " = '" +
                ValueOf(line) + "' is not " + what;
        return std::nullopt;
    };
    for (int ch = 0; ch < 2; ++ch) {
        const std::string prefix = ch == 0 ? "ch1_" : "ch2_";
        if (const IniLine* line = section.Find((prefix + "rise").c_str())) {
            // STEP/SECONDS: +STEP every SECONDS
            const std::string v = ValueOf(*line);
            const auto slash = v.find('/');
            const auto step = ParseNumber(v.substr(0, slash), 1, 32767);
            const auto every =
                slash == std::string::npos ? std::nullopt : ParseSeconds(v.substr(slash + 1));
            if (!step || !every || *every <= 0) {
                return bad(*line, "STEP/SECONDS, such as 5/3 for +5 every 3 s");
            }
            m.rise[static_cast<std::size_t>(ch)] = {static_cast<int>(*step), *every};
        }
        if (const IniLine* line = section.Find((prefix + "reset").c_str())) {
            const auto at = ParseSeconds(ValueOf(*line));
            if (!at) {
                return bad(*line, "a number of seconds after the start");
            }
            m.resetAt[static_cast<std::size_t>(ch)] = *at;
        }
    }
    if (const IniLine* line = section.Find("absent")) {
        // FROM-TO, seconds after the start
        const std::string v = ValueOf(*line);
        const auto dash = v.find('-');
        const auto from = ParseSeconds(v.substr(0, dash));
        const auto to = dash == std::string::npos ? std::nullopt : ParseSeconds(v.substr(dash + 1));
        if (!from || !to || *to <= *from) {
            return bad(*line, "FROM-TO in seconds after the start, such as 20-40");
        }
        m.absentFrom = *from;
        m.absentTo = *to;
    }
    if (const IniLine* line = section.Find("noise")) {
        std::istringstream in(ValueOf(*line));
        std::string token;
        while (in >> token) {
            const auto b = ParseNumber(token.size() <= 2 ? "0x" + token : token, 0, 255);
            if (!b) {
                error = At(path, *line) + "[" + section.header->name + "] noise = '" +
                        ValueOf(*line) + "' is not a list of hex bytes";
                return std::nullopt;
            }
            m.noise.push_back(static_cast<std::uint8_t>(*b));
        }
    }
    return m;
}

}  // namespace

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
    const auto ini = ReadIni(path, false, error);
    std::vector<Section> sections;
    if (!ini || !Group(*ini, path, sections, error)) {
        return std::nullopt;
    }
    SimSystem sys;
    const IniLine* attached = nullptr;  // its side line
    for (const Section& section : sections) {
        if (!section.id) {
            if (!ReadSystemSection(section, path, sys, error)) {
                return std::nullopt;
            }
            continue;
        }
        auto m = ReadModuleSection(section, path, error);
        if (!m) {
            return std::nullopt;
        }
        if (m->side == 'G') {
            const IniLine* side = section.Find("side");
            if (attached) {
                error = At(path, *side) + "a second module with side = G (first on line " +
                        std::to_string(attached->number) + "); exactly one is attached to the PC";
                return std::nullopt;
            }
            attached = side;
        }
        sys.modules.push_back(std::move(*m));
    }
    if (!attached) {
        error = path + ": no module has side = G; exactly one is attached to the PC";
        return std::nullopt;
    }
    return sys;
}

bool SimModule::AnswersAt(double t) const {
    return answers && !(t >= absentFrom && t < absentTo);
}

std::uint16_t SimModule::CountAt(int channel, double t) const {
    const std::size_t c = channel == 1 ? 0 : 1;
    long long value = c == 0 ? ch1Count : ch2Count;
    double since = 0;
    if (resetAt[c] >= 0 && t >= resetAt[c]) {
        value = 0;
        since = resetAt[c];
    }
    if (rise[c].step > 0 && t > since) {
        value += static_cast<long long>(rise[c].step) *
                 static_cast<long long>(std::floor((t - since) / rise[c].every));
    }
    return static_cast<std::uint16_t>(std::min<long long>(value, 32767));
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
    const auto ini = ReadIni(path, true, error);  // missing: nothing was written yet
    if (!ini) {
        return false;
    }
    for (auto& m : modules) {
        const std::string section = "module " + std::to_string(m.id);
        if (const auto k = ini->FindKey(section, "mode")) {
            const IniLine& line = ini->Lines()[*k];
            const auto mode = ParseNumber(ValueOf(line), 0, 255);
            if (!mode) {
                error = At(path, line) + "[" + section + "] mode = '" + ValueOf(line) +
                        "' is not a byte";
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

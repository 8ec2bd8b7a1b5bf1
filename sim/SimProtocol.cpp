#include "sim/SimProtocol.h"

#include <chrono>
#include <cstdio>

namespace lwlsim {

std::string Hex(const std::uint8_t* data, std::size_t size) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(data[i]));
        if (i > 0) {
            s += ' ';
        }
        s += buf;
    }
    return s;
}

Simulator::Simulator(SimSystem system, std::string eepromPath)
    : system_(std::move(system)), eepromPath_(std::move(eepromPath)) {
    const auto start = std::chrono::steady_clock::now();
    clock_ = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
}

namespace {
constexpr int kMaxCount = 1 << 30;  // frames are counted this far
}  // namespace

Simulator::Output Simulator::Feed(const std::uint8_t* data, std::size_t size) {
    Output out;
    const int limit = system_.hangupAfterRx;
    out.hangup = limit > 0 && received_ >= limit;
    for (std::size_t i = 0; i < size && !out.hangup; ++i) {
        scanner_.Push(data[i]);
        while (!out.hangup) {
            const auto c = scanner_.Next();
            if (!c) {
                break;
            }
            out.received.push_back(*c);
            Handle(*c, out.chunks);
            received_ += received_ < kMaxCount ? 1 : 0;
            out.hangup = limit > 0 && received_ >= limit;
            out.stall = out.stall || received_ == system_.stallAfterRx;
        }
    }
    return out;
}

void Simulator::Handle(const Command& c, std::vector<Chunk>& out) {
    const double t = clock_();
    switch (c.letter) {
        case 'G':
            for (const SimModule* m : system_.ScanOrder()) {
                if (m->AnswersAt(t)) {
                    Answer(*m, static_cast<std::uint8_t>(m->side), t, out);
                }
            }
            break;
        case 'P':
            if (const SimModule* m = system_.Find(c.id); m && m->AnswersAt(t)) {
                Answer(*m, static_cast<std::uint8_t>(system_.queryLetter), t, out);
            }
            break;
        case 'S':
        case 'W':
            if (SimModule* m = system_.Find(c.id); m && m->AnswersAt(t)) {
                m->mode = c.mode;
                if (c.letter == 'W') {
                    system_.eeprom[m->id] = c.mode;
                    if (!eepromPath_.empty()) {
                        system_.SaveEeprom(eepromPath_);
                    }
                }
            }
            break;
        default:
            break;  // the modules ignore letters they do not know
    }
}

void Simulator::Answer(const SimModule& m, std::uint8_t letter, double t,
                       std::vector<Chunk>& out) const {
    Report r;
    r.letter = letter;
    r.id = m.id;
    r.version = m.version;
    r.mode = m.mode;
    r.ch1Error = m.ch1Error;
    r.ch1Count = m.CountAt(1, t);
    r.ch2Error = m.ch2Error;
    r.ch2Count = m.CountAt(2, t);
    auto frame = EncodeReport(r);
    if (m.corruptOffset >= 0 && m.corruptOffset < static_cast<int>(frame.size())) {
        frame[static_cast<std::size_t>(m.corruptOffset)] = m.corruptValue;
    }
    int pause = system_.turnaroundMs;
    if (!m.noise.empty()) {
        out.push_back(Chunk{m.noise, pause, Hex(m.noise.data(), m.noise.size())});
        pause = 0;
    }
    const std::string hex = Hex(frame.data(), frame.size());
    const std::size_t split = m.splitOffset > 0 && m.splitOffset < static_cast<int>(frame.size())
                                  ? static_cast<std::size_t>(m.splitOffset)
                                  : frame.size();
    out.push_back(Chunk{{frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(split)},
                        pause,
                        split == frame.size() ? hex : std::string()});
    if (split < frame.size()) {
        out.push_back(Chunk{
            {frame.begin() + static_cast<std::ptrdiff_t>(split), frame.end()}, m.splitMs, hex});
    }
}

}  // namespace lwlsim

#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lwlsim {

// One simulated module and the faults it shows on every answer.
struct SimModule {
    std::uint16_t id = 0;
    std::uint8_t version = 34;
    std::uint8_t mode = 0x05;
    char side = 'L';  // 'G' for the module attached to the PC
    bool ch1Error = false;
    bool ch2Error = false;
    std::uint16_t ch1Count = 0;
    std::uint16_t ch2Count = 0;
    bool answers = true;
    std::vector<std::uint8_t> noise;  // sent before each answer
    int corruptOffset = -1;           // byte of the answer replaced by corruptValue
    std::uint8_t corruptValue = 0x00;
    int splitOffset = -1;  // pause after this many bytes of the answer
    int splitMs = 0;

    // Changes over time, in seconds since the simulator started.
    struct Rise {
        int step = 0;        // the counter rises by step
        double every = 0.0;  // every this many seconds
    };
    std::array<Rise, 2> rise{};                 // CAN channel 1, 2
    std::array<double, 2> resetAt{-1.0, -1.0};  // the counter starts again from 0 here
    double absentFrom = -1.0;                   // answers nothing from here ...
    double absentTo = -1.0;                     // ... until here

    bool AnswersAt(double t) const;
    // The error counter of channel 1 or 2 as reported t seconds after the start.
    std::uint16_t CountAt(int channel, double t) const;
};

struct SimSystem {
    std::vector<SimModule> modules;                // per side nearest first, as in the file
    int turnaroundMs = 2;                          // before each module's answer
    char queryLetter = 'P';                        // of the answer to a query "P"
    int hangupAfterRx = 0;                         // command frames, then unplugged; 0: never
    int hangupAfterTx = 0;                         // answer frames, then unplugged; 0: never
    int stallAfterRx = 0;                          // command frames, then stops reading; 0: never
    int stallMs = 3000;                            // for this long
    std::map<std::uint16_t, std::uint8_t> eeprom;  // modes stored with "W"

    static SimSystem Default();
    // Reads an INI file of [module ID] sections and an optional [system]; nothing
    // and a message "FILE:LINE: what is wrong" when it is bad.
    static std::optional<SimSystem> Load(const std::string& path, std::string& error);

    SimModule* Find(std::uint16_t id);
    // The attached module first, then the others by distance, nearer first.
    std::vector<const SimModule*> ScanOrder() const;

    // Modes written with "W" survive a restart in this file.
    bool LoadEeprom(const std::string& path, std::string& error);
    bool SaveEeprom(const std::string& path) const;
};

}  // namespace lwlsim

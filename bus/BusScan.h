#pragma once

namespace quorval {

struct Global;
class ModuleLink;

enum class ScanOutcome {
    Found,      // modules answered, all of this family
    Foreign,    // the lowest firmware is 4.x: a module of another make
    NoneFound,  // nobody answered within 2 s
};

// After the first answer the scan goes on until nothing has arrived for this
// long: the poll and the parse each run every 100 ms, and answers follow each
// other every ~12 ms at 9600 baud, so three poll periods of silence mean the
// system has finished answering.
constexpr int kScanQuietMs = 300;
constexpr int kScanFirstAnswerMs = 2000;
constexpr int kScanLimitMs = 10000;

// What the user is told after a scan.
constexpr const char* kNoModulesText =
    "No Modules found! Check the serial connection and try it again.";
constexpr const char* kForeignModuleText =
    "LWL-System contains a none-QUORVAL module!\r\nPlease remove those modules and try again!";

// Sends "G" and waits for the answers; the module table holds them afterwards.
ScanOutcome ScanBus(Global& g, ModuleLink& link);

// Lowest firmware version 40..49 belongs to another make of module.
constexpr bool IsForeignFirmware(int minVersion) {
    return minVersion / 10 == 4;
}

}  // namespace quorval

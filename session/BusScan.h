#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include "model/Firmware.h"
#include "session/Exchange.h"

namespace quorval {

enum class ScanOutcome {
    Found,      // modules answered, all of this family
    Foreign,    // the lowest firmware is 4.x: a module of another make
    NoneFound,  // nobody answered within 2 s
    LinkLost,   // the device went away during the scan; the table holds what came
    Stopped,    // the program was asked to stop; the table holds what came
};

// After the first answer the scan goes on until nothing has arrived for this
// long: the poll and the parse each run every 100 ms, and answers follow each
// other every ~12 ms at 9600 baud, so three poll periods of silence mean the
// system has finished answering.
constexpr int kScanQuietMs = 300;
constexpr int kScanFirstAnswerMs = 2000;
// A line that never falls quiet ends the scan this long after the last new
// module: a large system (1000 modules take ~13 s) is still read whole.
constexpr int kScanLimitMs = 10000;

// What the user is told after a scan.
constexpr const char* kNoModulesText =
    "No Modules found! Check the serial connection and try it again.";
constexpr const char* kForeignModuleText =
    "LWL-System contains a none-QUORVAL module!\r\nPlease remove those modules and try again!";

// The scan: sends "G" and takes the answers until the line falls quiet; the
// module table holds them when it has finished.
class BusScan : public Exchange {
    Q_OBJECT
  public:
    explicit BusScan(ModuleLink& link);

    bool Start();

  signals:
    void finished(quorval::ScanOutcome outcome);

  private:
    void OnFrame(FrameOutcome outcome);
    void Settle();
    void Quiet();
    void Answered();
    void Finish(ScanOutcome outcome);
    void EndLinkLost() override { Finish(ScanOutcome::LinkLost); }
    void EndStopped() override { Finish(ScanOutcome::Stopped); }

    QTimer firstAnswer_;  // nobody answered in time
    QTimer quiet_;        // nothing arrived for a while
    QTimer limit_;        // no new module for a long while
    QElapsedTimer sinceActivity_;
    bool settling_ = false;  // the first module is counted
};

}  // namespace quorval

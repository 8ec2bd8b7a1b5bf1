#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>
#include <QTimer>

#include "session/Exchange.h"
#include "session/FrameDelivery.h"

namespace quorval {

struct Global;

// The modules of the last scan in ascending ID, the one attached to the PC last.
std::vector<int> ProgrammingOrder(const Global& g);

struct ProgrammingResult {
    int total = 0;             // modules in the run
    int sent = 0;              // frames handed to the device
    int failed = 0;            // frames the port refused, or lost with the device
    bool interrupted = false;  // the program was asked to stop; the rest was not sent
};

// "sent 4 of 6, failed 2" (", interrupted" when it was): what a run did, counted exactly.
QString RunSummary(const ProgrammingResult& result);

// The programming run: one "S" or "W" frame with the mode to each module of the
// order, each once the one before has left, going back to the event loop in
// between. A lost link ends it: the modules not reached count as failed, and
// nothing more is sent.
class ProgrammingRun : public Exchange {
    Q_OBJECT
  public:
    explicit ProgrammingRun(ModuleLink& link);

    // writeToEeprom is asked afresh for every frame.
    bool Start(std::uint8_t mode, std::vector<int> order, std::function<bool()> writeToEeprom);

  signals:
    // Each module as it is done, with the counts so far.
    void progress(int id, bool sent, const quorval::ProgrammingResult& soFar);
    void finished(const quorval::ProgrammingResult& result);

  private:
    void Next();
    void Done(bool sent);
    void Finish();
    void EndLinkLost() override;
    void EndStopped() override;

    FrameDelivery delivery_;
    QTimer next_;
    std::uint8_t mode_ = 0;
    std::vector<int> order_;
    std::function<bool()> eeprom_;
    std::size_t at_ = 0;  // the module whose frame goes out, or the next one
    ProgrammingResult result_;
};

}  // namespace quorval

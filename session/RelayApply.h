#pragma once

#include <cstdint>

#include "session/Exchange.h"
#include "session/FrameDelivery.h"

namespace quorval {

enum class ApplyOutcome {
    Sent,      // the frame has left; the record holds the new mode
    Refused,   // the port did not take it in time, or was not open
    LinkLost,  // the device went away first
    Stopped,   // the program was asked to stop before it left; what had not left was dropped
};

// Changes one module's error relay logic ("S", or "W" to store it in its
// EEPROM), keeping the rest of its mode as its record has it. The record takes
// the new mode once the frame has left, never before: a module that did not get
// it keeps in its record what it said of itself, whatever a parse stored meanwhile.
class RelayApply : public Exchange {
    Q_OBJECT
  public:
    explicit RelayApply(ModuleLink& link);

    // relay: the value of bits 5 and 4 (0x00, 0x10, 0x20 or 0x30).
    bool Start(int id, std::uint8_t relay, bool eeprom);
    int Id() const { return id_; }
    std::uint8_t Mode() const { return mode_; }

  signals:
    void finished(quorval::ApplyOutcome outcome);

  private:
    void Delivered(bool sent);
    void Finish(ApplyOutcome outcome);
    void EndLinkLost() override { Finish(ApplyOutcome::LinkLost); }
    void EndStopped() override;

    FrameDelivery delivery_;
    int id_ = 0;
    std::uint8_t mode_ = 0;
};

}  // namespace quorval

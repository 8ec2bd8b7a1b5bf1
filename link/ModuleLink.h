#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "common/Clock.h"
#include "link/MSComm.h"
#include "link/ReceiveBuffer.h"
#include "link/ResponseParser.h"

namespace quorval {

struct Global;

// The link to the module system: the port, the receive buffer, the receive
// poll (Timer1) and the parse pass (Timer2). The main window owns one; so does
// the command-line companion. Nothing calls a waiting sender back: it watches
// the module table for the effect it needs.
class ModuleLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTimerIntervalMs = 100;
    // How long a frame may take to leave for the device.
    static constexpr int kDeliverLimitMs = 1000;

    ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent = nullptr);

    Global& State() { return g_; }
    MSComm& MSComm1() { return *port_; }
    void SetTimeOfDay(TimeOfDay clock) { clock_ = std::move(clock); }

    // One command frame from cmd and the TxByte parameters; true when queued.
    // Nothing is sent once a stop has been requested.
    bool SendCommand(std::uint8_t cmd);
    // The same, then waits (letting events run) until the frame has been handed
    // to the device; false when the port refused it, went away first, or did
    // not take it in time (what is left of it is then dropped, never sent later).
    bool DeliverCommand(std::uint8_t cmd);

    // Ends every wait on the link at its next pass and refuses further frames:
    // the program is asked to stop (Ctrl-C on the command line).
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }

    // An exchange waiting on the half-duplex line: a scan, a query, a delivery or
    // a programming run holds one while it waits, and nobody starts another
    // meanwhile. It also learns whether the link was lost while it waited.
    class Exchange {
      public:
        explicit Exchange(ModuleLink& link);
        ~Exchange();
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;
        // LinkLost came while this exchange was held; the loss has been told.
        bool Lost() const { return lost_; }

      private:
        QPointer<ModuleLink> link_;
        QMetaObject::Connection connection_;
        bool lost_ = false;
    };
    // An exchange is waiting on the line.
    bool Busy() const { return exchanges_ > 0; }
    // Why frames do not get through, for a message: the lost link's reason,
    // or that the port is not open.
    QString PortProblem() const;

    // Starts both timers (the main window does this when it is created).
    void StartTimers();

    // Timer1 tick: if bytes wait, report their count and read them.
    void ReceivePoll();
    // Moves the waiting bytes into the ring, as many as it takes before the next
    // parse pass (the rest waits at the port), marks them pending and restarts
    // both timers (parse first, then poll); returns how many it moved.
    int ReadSerialInput();
    // Timer2 tick: turns every whole frame in the buffer into module records.
    void ParsePass();

  signals:
    // A line for the debug window.
    void DebugLine(const QString& line);
    // The receive poll found bytes waiting.
    void BytesArrived(int count);
    // Every valid frame, in the order parsed.
    void FrameParsed(const quorval::ResponseFrame& frame, quorval::FrameOutcome outcome);
    // The configuration reported in a new "G" answer, for the global settings.
    void AttachedModeReported(std::uint8_t mode);
    // The port closed itself because its device went away; once per loss. The
    // only way the program learns of a loss.
    void LinkLost(const QString& reason);
    // An exchange began waiting on the line, or the last one ended.
    void BusyChanged(bool busy);

  public:
    QTimer Timer1;  // receive poll
    QTimer Timer2;  // parse pass

  private:
    Global& g_;
    std::unique_ptr<MSComm> port_;
    ReceiveBuffer rx_;
    ResponseParser parser_;
    TimeOfDay clock_ = SecondsSinceMidnight;
    int exchanges_ = 0;
    bool stopRequested_ = false;
};

}  // namespace quorval

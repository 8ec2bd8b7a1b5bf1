#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>

#include "common/Clock.h"
#include "link/CommandFrame.h"
#include "link/MSComm.h"
#include "link/ReceiveBuffer.h"
#include "link/ResponseParser.h"

namespace quorval {

struct Global;

// What holds the half-duplex line while it waits for its effect: a scan, a
// query, an Apply, a programming run, a port test. The link ends it itself when
// the line goes away or the program is asked to stop.
class LineExchange {
  public:
    virtual ~LineExchange() = default;
    // The device went away: end now, before the loss is told to anyone.
    virtual void EndLinkLost() = 0;
    // The program is asked to stop: end now and send nothing more.
    virtual void EndStopped() = 0;
};

// The link to the module system: the port, the receive buffer, the receive
// poll (Timer1) and the parse pass (Timer2). The main window owns one; so does
// the command-line companion. Nothing calls a waiting sender back: it listens
// to the signals below and watches the module table for the effect it needs.
class ModuleLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTimerIntervalMs = 100;

    ModuleLink(Global& g, std::unique_ptr<MSComm> port, QObject* parent = nullptr);
    ~ModuleLink() override;

    Global& State() { return g_; }
    void SetTimeOfDay(TimeOfDay clock) { clock_ = std::move(clock); }

    // The port as it stands, and what may be done to it.
    const MSComm& Port() const { return *MSComm1; }
    bool SelectPort(int number) { return MSComm1->SetCommPort(number); }
    // Opens the port selected; 0 or the error number of the failed open.
    int OpenPort() { return MSComm1->SetPortOpen(true); }
    void ClosePort() { MSComm1->SetPortOpen(false); }
    void MapPort(int number, const QString& device) { MSComm1->MapPort(number, device); }
    void SetInputMode(int mode) { MSComm1->SetInputMode(mode); }
    // How COM1..COM4 are tested; whoever tests them has closed the port first.
    PortTestPlan PlanPortTests() { return MSComm1->PlanPortTests(); }
    // Drops what has not left yet, so that a frame given up on never leaves later.
    void DiscardOutput() { MSComm1->DiscardOutput(); }

    // Writes one command frame; true when queued. Nothing is sent once a stop
    // has been requested.
    bool SendCommand(const CommandFrame& frame);
    bool SendCommand(std::uint8_t cmd, std::uint8_t tx1 = 0, std::uint8_t tx2 = 0,
                     std::uint8_t tx3 = 0) {
        return SendCommand(BuildCommandFrame(cmd, tx1, tx2, tx3));
    }

    // The program is asked to stop (Ctrl-C on the command line, the window
    // closing): the exchange on the line ends as stopped, no frame leaves after
    // it and no exchange starts.
    void RequestStop();
    bool StopRequested() const { return stopRequested_; }

    // One exchange at a time. A second one is turned away while one holds the
    // line rather than queued: it was chosen for the state the user saw, and
    // would act later on a state it was not chosen for.
    bool Claim(LineExchange& exchange);
    void Release(LineExchange& exchange);
    bool Busy() const { return current_ != nullptr; }
    // Why frames do not get through, for a message: the lost link's reason,
    // or that the port is not open.
    QString PortProblem() const;

    // Starts both timers (the main window does this when it is created).
    void StartTimers();
    void StopTimers();
    bool Polling() const { return Timer1.isActive(); }

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
    // The port closed itself because its device went away; once per loss,
    // after the exchange on the line has ended. The only way the program learns
    // of a loss.
    void LinkLost(const QString& reason);
    // An exchange took the line, or let it go.
    void BusyChanged(bool busy);

  private:
    void OnLost(const QString& reason);

    Global& g_;
    std::unique_ptr<MSComm> MSComm1;
    QTimer Timer1;  // receive poll
    QTimer Timer2;  // parse pass
    ReceiveBuffer rx_;
    ResponseParser parser_;
    TimeOfDay clock_ = SecondsSinceMidnight;
    LineExchange* current_ = nullptr;
    bool stopRequested_ = false;
};

}  // namespace quorval

#pragma once

#include <cstdint>
#include <optional>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "record/WatchTracker.h"
#include "session/BusScan.h"

namespace quorval {

struct Global;
class ModuleLink;

// The longest interval between rounds a person may ask for, in seconds.
constexpr double kMaxIntervalS = 86400;

// Scans the system every interval and hands each round to whoever listens. It
// runs from the event loop (timers, never a loop of its own), so the command
// line and a window drive it alike: Start, then one RoundDone per round, and
// Finished once it has ended. A round is one scan, the one exchange on the line.
// A lost link does not end it: the next rounds try to open the port again until
// it is back.
class BusWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMinIntervalMs = 1000;

    BusWatch(Global& g, ModuleLink& link, QObject* parent = nullptr);

    // From the next round on; at least kMinIntervalMs.
    void SetInterval(int ms);
    // Ends the watch this long after its start; 0 (the default): until Stop.
    void SetDuration(std::int64_t ms) { durationMs_ = ms; }

    // The first round runs at once (from the event loop); the rest every interval,
    // or at once after a round that took longer.
    void Start();
    // No further round; one in progress ends first. Finished follows.
    void Stop();
    bool Running() const { return running_; }

    const WatchTracker& Tracker() const { return tracker_; }

  signals:
    void RoundDone(const quorval::WatchRound& round);
    void Finished();

  private:
    void RunRound();
    void OnScanned(ScanOutcome outcome);
    void EndRound(const WatchRound& round);
    void ScheduleNext();
    void Finish();

    Global& g_;
    ModuleLink& link_;
    WatchTracker tracker_;
    QTimer next_;       // the next round, or the end of the duration
    QTimer stopCheck_;  // the program was asked to stop (a signal on the command line)
    QElapsedTimer started_;
    std::int64_t roundStartedMs_ = 0;  // since started_
    std::int64_t roundTimeMs_ = 0;     // when the round began, for its samples
    std::int64_t durationMs_ = 0;
    int intervalMs_ = 10000;
    bool running_ = false;
    bool inRound_ = false;
    bool stopAfterRound_ = false;
    bool ending_ = false;       // next_ ends the duration instead of starting a round
    bool lossPending_ = false;  // the link went away since the last round
    bool lossInRound_ = false;  // the loss about to be told ended this round
    QString lossReason_;
};

}  // namespace quorval

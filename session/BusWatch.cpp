#include "session/BusWatch.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QDateTime>

#include "link/ModuleLink.h"
#include "model/Global.h"
#include "model/ModuleState.h"
#include "session/BusScan.h"

namespace quorval {

namespace {

constexpr int kStopCheckMs = 50;

}  // namespace

BusWatch::BusWatch(Global& g, ModuleLink& link, QObject* parent)
    : QObject(parent), g_(g), link_(link) {
    next_.setSingleShot(true);
    next_.setTimerType(Qt::PreciseTimer);
    connect(&next_, &QTimer::timeout, this, [this] {
        if (!ending_) {
            RunRound();
            return;
        }
        const std::int64_t left = durationMs_ - started_.elapsed();
        if (left > 0) {
            next_.start(static_cast<int>(left));
        } else {
            Finish();
        }
    });
    stopCheck_.setInterval(kStopCheckMs);
    connect(&stopCheck_, &QTimer::timeout, this, [this] {
        if (link_.StopRequested() && !inRound_) {
            Finish();
        }
    });
    connect(&link_, &ModuleLink::LinkLost, this, [this](const QString& reason) {
        if (std::exchange(lossInRound_, false)) {
            return;
        }
        lossPending_ = true;
        lossReason_ = reason;
        if (running_ && !inRound_) {
            ending_ = false;
            next_.start(0);  // say so now, not an interval later
        }
    });
}

void BusWatch::SetInterval(int ms) {
    intervalMs_ = std::max(ms, kMinIntervalMs);
}

void BusWatch::Start() {
    if (running_) {
        stopAfterRound_ = false;  // stopped and started again within a round
        return;
    }
    running_ = true;
    stopAfterRound_ = false;
    ending_ = false;
    started_.start();
    stopCheck_.start();
    next_.start(0);
}

void BusWatch::Stop() {
    if (inRound_) {
        stopAfterRound_ = true;
        return;
    }
    Finish();
}

void BusWatch::Finish() {
    if (!running_) {
        return;
    }
    running_ = false;
    next_.stop();
    stopCheck_.stop();
    emit Finished();
}

void BusWatch::RunRound() {
    if (!running_ || inRound_) {
        return;
    }
    roundStartedMs_ = started_.elapsed();
    roundTimeMs_ = QDateTime::currentMSecsSinceEpoch();
    if (lossPending_) {
        lossPending_ = false;
        EndRound(tracker_.FeedLinkLost(roundTimeMs_, lossReason_));
        return;
    }
    if (const int rc = link_.Port().PortOpen() ? 0 : link_.OpenPort(); rc != 0) {
        EndRound(tracker_.FeedLinkLost(roundTimeMs_,
                                       QStringLiteral("cannot open the port: ") +
                                           OpenErrorReason(rc, link_.Port().LastErrorText())));
        return;
    }
    auto* scan = new BusScan(link_);
    connect(scan, &BusScan::finished, this, &BusWatch::OnScanned);
    inRound_ = true;
    if (!scan->Start()) {
        inRound_ = false;  // the line is taken: the next round tries again
        ScheduleNext();
    }
}

void BusWatch::OnScanned(ScanOutcome outcome) {
    inRound_ = false;
    switch (outcome) {
        case ScanOutcome::Stopped:
            Finish();  // what came is half a round: not a sample
            return;
        case ScanOutcome::LinkLost:
            // The loss is told right after; this round has said it.
            lossInRound_ = true;
            EndRound(tracker_.FeedLinkLost(roundTimeMs_, link_.Port().LastErrorText()));
            return;
        default:
            EndRound(tracker_.Feed(roundTimeMs_, ScannedModules(g_.Bus)));
            return;
    }
}

void BusWatch::EndRound(const WatchRound& round) {
    emit RoundDone(round);
    if (stopAfterRound_ || !running_ || link_.StopRequested()) {
        Finish();
        return;
    }
    ScheduleNext();
}

void BusWatch::ScheduleNext() {
    std::int64_t due = lossPending_ ? 0 : roundStartedMs_ + intervalMs_;
    ending_ = durationMs_ > 0 && due >= durationMs_;
    if (ending_) {
        due = durationMs_;
    }
    next_.start(static_cast<int>(std::max<std::int64_t>(0, due - started_.elapsed())));
}

}  // namespace quorval

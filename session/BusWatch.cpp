#include "session/BusWatch.h"

#include <algorithm>
#include <cmath>

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
    inRound_ = true;
    roundStartedMs_ = started_.elapsed();
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    MSComm& port = link_.MSComm1();
    WatchRound round;
    bool complete = true;
    if (lossPending_) {
        round = tracker_.FeedLinkLost(now, lossReason_);
        lossPending_ = false;
    } else if (const int rc = port.PortOpen() ? 0 : port.SetPortOpen(true); rc != 0) {
        round = tracker_.FeedLinkLost(now, QStringLiteral("cannot open the port: ") +
                                               OpenErrorReason(rc, port.LastErrorText()));
    } else {
        switch (ScanBus(g_, link_)) {
            case ScanOutcome::Stopped:
                complete = false;  // what came is half a round: not a sample
                break;
            case ScanOutcome::LinkLost:
                round =
                    tracker_.FeedLinkLost(now, lossPending_ ? lossReason_ : port.LastErrorText());
                lossPending_ = false;
                break;
            default:
                round = tracker_.Feed(now, ScannedModules(g_.Bus));
                break;
        }
    }
    inRound_ = false;
    if (!complete) {
        Finish();
        return;
    }
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

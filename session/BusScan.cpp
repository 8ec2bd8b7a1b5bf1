#include "session/BusScan.h"

#include "model/Global.h"

namespace quorval {

BusScan::BusScan(ModuleLink& link)
    : Exchange(link), firstAnswer_(this), quiet_(this), limit_(this) {
    for (QTimer* t : {&firstAnswer_, &quiet_, &limit_}) {
        t->setSingleShot(true);
    }
    connect(&firstAnswer_, &QTimer::timeout, this, [this] {
        // A module counted by the last pass still counts.
        if (Link().State().Bus.ModuleCount == 0) {
            Finish(ScanOutcome::NoneFound);
        } else {
            Settle();
        }
    });
    connect(&quiet_, &QTimer::timeout, this, &BusScan::Quiet);
    connect(&limit_, &QTimer::timeout, this, &BusScan::Answered);
}

bool BusScan::Start() {
    if (!Begin()) {
        return false;
    }
    Global& g = Link().State();
    g.Bus.ModuleCount = 0;
    g.Bus.MinVersion = 255;
    connect(&Link(), &ModuleLink::BytesArrived, this, [this] {
        if (settling_) {
            sinceActivity_.restart();
        }
    });
    connect(&Link(), &ModuleLink::FrameParsed, this,
            [this](const ResponseFrame&, FrameOutcome outcome) { OnFrame(outcome); });
    Link().SendCommand(kCmdScan);
    firstAnswer_.start(kScanFirstAnswerMs);
    return true;
}

void BusScan::OnFrame(FrameOutcome outcome) {
    if (!settling_) {
        if (Link().State().Bus.ModuleCount != 0) {
            Settle();
        }
        return;
    }
    sinceActivity_.restart();
    if (outcome == FrameOutcome::New) {
        limit_.start(kScanLimitMs);
    }
}

void BusScan::Settle() {
    settling_ = true;
    firstAnswer_.stop();
    sinceActivity_.start();
    limit_.start(kScanLimitMs);
    quiet_.start(kScanQuietMs);
}

void BusScan::Quiet() {
    const qint64 left = kScanQuietMs - sinceActivity_.elapsed();
    // Bytes read but not parsed yet may still be answers.
    if (left > 0 || Link().State().RxPending) {
        quiet_.start(static_cast<int>(qMax<qint64>(left, 1)));
        return;
    }
    Answered();
}

void BusScan::Answered() {
    Finish(IsForeignFirmware(Link().State().Bus.MinVersion) ? ScanOutcome::Foreign
                                                            : ScanOutcome::Found);
}

void BusScan::Finish(ScanOutcome outcome) {
    if (End()) {
        emit finished(outcome);
    }
}

}  // namespace quorval

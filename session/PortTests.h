#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QElapsedTimer>
#include <QTimer>

#include "link/PortProbe.h"
#include "session/Exchange.h"

namespace quorval {

// The port test: every device opened and closed at once, each in a thread of
// its own; it ends when all have answered or after limitMs. A test that has not
// returned by then (a hung driver) reads as not responding, and its thread is
// left to end on its own. A device named twice is tested once.
class PortTests : public Exchange {
    Q_OBJECT
  public:
    using Test = std::function<PortTest(const QString& device)>;

    // Holds the line: the program's own port is among those it tests.
    explicit PortTests(ModuleLink& link);
    // Needs no line (the command line lists the ports without one).
    explicit PortTests(QObject* parent);

    bool Start(const PortTestPlan& plan, int limitMs = kPortTestLimitMs, Test test = OpenAndClose);

  signals:
    // One outcome per device of the plan, in its order.
    void finished(const std::vector<quorval::PortTest>& results);

  private:
    struct Shared;

    PortTests(ModuleLink* link, QObject* parent);
    void Poll();
    void Finish();
    // Not the port under test: an older one's loss, told late.
    void EndLinkLost() override {}
    void EndStopped() override { Finish(); }

    QTimer poll_;
    QElapsedTimer clock_;
    int limitMs_ = kPortTestLimitMs;
    std::shared_ptr<Shared> shared_;
    std::vector<std::size_t> which_;  // for each device of the plan, its test
    std::vector<PortTest> done_;      // a plan tested at once
};

}  // namespace quorval

#include "session/PortTests.h"

#include <mutex>
#include <optional>

#include <QFileInfo>
#include <QThread>

namespace quorval {

// What the threads hand back; they may outlive the exchange.
struct PortTests::Shared {
    std::mutex lock;
    std::vector<std::optional<PortTest>> tests;
    std::size_t pending = 0;
};

PortTests::PortTests(ModuleLink& link) : PortTests(&link, &link) {}

PortTests::PortTests(QObject* parent) : PortTests(nullptr, parent) {}

PortTests::PortTests(ModuleLink* link, QObject* parent) : Exchange(link, parent), poll_(this) {
    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, &PortTests::Poll);
}

bool PortTests::Start(const PortTestPlan& plan, int limitMs, Test test) {
    if (!Begin()) {
        return false;
    }
    limitMs_ = limitMs;
    if (plan.done) {
        done_.assign(plan.done->begin(), plan.done->end());
        EndSoon([this] { Finish(); });
        return true;
    }
    // One test per device, whatever its name: two at once would find each other.
    QStringList distinct;  // canonical paths
    QStringList names;     // the first name each was given
    for (const QString& device : plan.devices) {
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        qsizetype at = distinct.indexOf(key);
        if (at < 0) {
            at = distinct.size();
            distinct << key;
            names << device;
        }
        which_.push_back(static_cast<std::size_t>(at));
    }
    shared_ = std::make_shared<Shared>();
    shared_->tests.resize(static_cast<std::size_t>(names.size()));
    shared_->pending = shared_->tests.size();
    for (std::size_t i = 0; i < shared_->tests.size(); ++i) {
        const auto run = [shared = shared_, test, device = names[static_cast<qsizetype>(i)], i] {
            PortTest result = test(device);
            const std::lock_guard<std::mutex> hold(shared->lock);
            shared->tests[i] = std::move(result);
            --shared->pending;
        };
        // A thread of Qt's: the port's notifiers need its event dispatcher.
        QThread* thread = QThread::create(run);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
        if (!thread->isRunning() && !thread->isFinished()) {
            delete thread;  // no thread to be had: tested here, unbounded
            run();
        }
    }
    clock_.start();
    poll_.start();
    return true;
}

void PortTests::Poll() {
    bool all = false;
    {
        const std::lock_guard<std::mutex> hold(shared_->lock);
        all = shared_->pending == 0;
    }
    if (all || clock_.elapsed() >= limitMs_) {
        Finish();
    }
}

void PortTests::Finish() {
    if (!End()) {
        return;
    }
    std::vector<PortTest> results = done_;
    if (shared_) {
        const std::lock_guard<std::mutex> hold(shared_->lock);
        for (std::size_t at : which_) {
            const std::optional<PortTest>& t = shared_->tests[at];
            results.push_back(
                t ? *t
                  : PortTest{MSComm::kErrNotResponding, QStringLiteral("no answer within %1 ms, "
                                                                       "the driver may hang")
                                                            .arg(limitMs_)});
        }
    }
    emit finished(results);
}

}  // namespace quorval

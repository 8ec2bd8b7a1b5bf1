#include "link/PortProbe.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include <QEventLoop>
#include <QFileInfo>

#include "link/QtSerialComm.h"

namespace quorval {

namespace {

struct Outcomes {
    std::mutex lock;
    std::condition_variable done;
    std::vector<std::optional<PortTest>> tests;
    std::size_t pending = 0;
};

}  // namespace

PortTest OpenAndClose(const QString& device) {
    // A thread not started by Qt gets an event dispatcher with its first event
    // loop; the port's notifiers need one.
    const QEventLoop dispatcher;
    QtSerialComm port{PortMap()};  // no COM numbers: only this device
    const int error = port.OpenDevice(device);
    return {error, error ? port.LastErrorText() : QString()};
}

std::vector<PortTest> TestDevices(const QStringList& devices, int limitMs,
                                  const std::function<PortTest(const QString&)>& test) {
    // One test per device, whatever its name: two at once would find each other.
    QStringList distinct;  // canonical paths
    QStringList names;     // the first name each was given
    std::vector<std::size_t> which;
    for (const QString& device : devices) {
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? device : canonical;
        qsizetype at = distinct.indexOf(key);
        if (at < 0) {
            at = distinct.size();
            distinct << key;
            names << device;
        }
        which.push_back(static_cast<std::size_t>(at));
    }
    auto outcomes = std::make_shared<Outcomes>();
    outcomes->tests.resize(static_cast<std::size_t>(names.size()));
    outcomes->pending = outcomes->tests.size();
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < outcomes->tests.size(); ++i) {
        const auto run = [outcomes, test, device = names[static_cast<qsizetype>(i)], i] {
            PortTest result = test(device);
            const std::lock_guard<std::mutex> hold(outcomes->lock);
            outcomes->tests[i] = std::move(result);
            --outcomes->pending;
            outcomes->done.notify_all();
        };
        try {
            threads.emplace_back(run);
        } catch (const std::system_error&) {
            threads.emplace_back();  // no thread to be had: test here, unbounded
            run();
        }
    }
    std::vector<PortTest> results;
    std::unique_lock<std::mutex> hold(outcomes->lock);
    outcomes->done.wait_for(hold, std::chrono::milliseconds(limitMs),
                            [&] { return outcomes->pending == 0; });
    const std::vector<std::optional<PortTest>> tests = outcomes->tests;
    hold.unlock();
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (!threads[i].joinable()) {
            continue;
        }
        if (tests[i]) {
            threads[i].join();
        } else {
            threads[i].detach();  // stuck in the driver; it ends when the driver lets go
        }
    }
    for (std::size_t at : which) {
        results.push_back(tests[at] ? *tests[at]
                                    : PortTest{MSComm::kErrNotResponding,
                                               QStringLiteral("no answer within %1 ms, "
                                                              "the driver may hang")
                                                   .arg(limitMs)});
    }
    return results;
}

}  // namespace quorval

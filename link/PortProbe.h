#pragma once

#include <functional>
#include <vector>

#include <QStringList>

#include "link/MSComm.h"

namespace quorval {

// How long a test open may take before the port counts as not responding.
constexpr int kPortTestLimitMs = 500;

// Opens a device as the link does and closes it again.
PortTest OpenAndClose(const QString& device);

// Tests every device at once, each in a thread of its own, and waits at most
// limitMs: a test that has not returned by then (a hung driver) reads as
// kErrNotResponding, and its thread is left to end on its own. A device named
// twice is tested once.
std::vector<PortTest> TestDevices(
    const QStringList& devices, int limitMs = kPortTestLimitMs,
    const std::function<PortTest(const QString&)>& test = OpenAndClose);

}  // namespace quorval

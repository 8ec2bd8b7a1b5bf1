#pragma once

#include <QString>

#include "link/MSComm.h"

namespace quorval {

// How long a test open may take before the port counts as not responding.
constexpr int kPortTestLimitMs = 500;

// Opens a device as the link does and closes it again. Runs in a thread that Qt
// started (the port's notifiers need its event dispatcher).
PortTest OpenAndClose(const QString& device);

}  // namespace quorval

#pragma once

#include <QString>

#include "bus/ModuleData.h"
#include "bus/ModuleText.h"
#include "link/ModuleLink.h"
#include "link/ResponseFrame.h"

namespace quorval {

// One line per module for people.
QString ModuleLine(const ModuleData& m);
// One line per parsed frame, for the monitor.
QString FrameLine(const ResponseFrame& f, FrameOutcome outcome);

}  // namespace quorval

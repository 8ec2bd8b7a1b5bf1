#pragma once

#include <QString>

#include "link/ModuleLink.h"
#include "link/ResponseFrame.h"
#include "model/ModuleData.h"
#include "model/ModuleText.h"

namespace quorval {

// One line per module for people.
QString ModuleLine(const ModuleData& m);
// One line per parsed frame, for the monitor.
QString FrameLine(const ResponseFrame& f, FrameOutcome outcome);

}  // namespace quorval

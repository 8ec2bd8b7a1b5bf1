#pragma once

#include <QJsonObject>
#include <QString>

#include "bus/ModuleData.h"
#include "bus/ModuleText.h"
#include "link/ModuleLink.h"
#include "link/ResponseFrame.h"

namespace quorval {

// Baud rate, identifier length, topology and relay logic by their captions.
QString DecodedMode(std::uint8_t mode);
// One line per module for people; one object per module for scripts.
QString ModuleLine(const ModuleData& m);
QJsonObject ModuleJson(const ModuleData& m);
// One line per parsed frame, for the monitor.
QString FrameLine(const ResponseFrame& f, FrameOutcome outcome);

}  // namespace quorval

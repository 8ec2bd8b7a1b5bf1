#pragma once

#include <QString>

namespace quorval {

// The name of one LWL-System in what the watch publishes (MQTT topics, the
// metrics' system label), so that many watches can share one broker or one
// collector directory.

// The host name, '-', and the last part of the port's device path
// ("cabinet3-ttyUSB0"), lower case, every character other than a-z 0-9 _ -
// replaced by '-'.
QString DefaultSystemName(const QString& host, const QString& device);

// The name in use: the one given by hand (--mqtt-name) when there is one, else
// DefaultSystemName of this host and the port's device.
QString SystemNameFor(const QString& given, const QString& device);

// Why a name given by hand cannot stand in a topic (empty, or it holds '/',
// '+', '#' or a blank); empty when it can.
QString SystemNameProblem(const QString& name);

}  // namespace quorval

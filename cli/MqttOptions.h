#pragma once

#include <memory>

#include "cli/Cli.h"

namespace quorval {

class BusWatch;
class MqttPublisher;

// The watch's --mqtt... options: said before the port is opened; the status
// (0, or 1 for a usage error).
int CheckMqtt(const Options& o);

// Starts the watch: with --mqtt once the broker answered (or the start's wait
// is over), after a refusal not at all (refused is set). Quits the application
// when the watch has finished and what waits for the broker went out.
std::unique_ptr<MqttPublisher> StartWatch(Session& s, BusWatch& watch, bool& refused);

}  // namespace quorval

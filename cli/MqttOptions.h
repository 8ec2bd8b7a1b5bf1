#pragma once

#include <memory>
#include <vector>

#include "cli/Cli.h"

namespace quorval {

class BusWatch;
class MqttPublisher;

// The checks of the broker's URL and the system's name, for the command line
// and --config.
std::vector<OptionCheck> MqttChecks();
// The watch's --mqtt... options together, and the password file: said before
// the port is opened; the status (0, or 1 for a usage error).
int CheckMqtt(const Options& o);

// Starts the watch: with --mqtt once the broker answered (or the start's wait
// is over), after a refusal not at all (refused is set). Quits the application
// when the watch has finished and what waits for the broker went out.
std::unique_ptr<MqttPublisher> StartWatch(Session& s, BusWatch& watch, bool& refused);

}  // namespace quorval

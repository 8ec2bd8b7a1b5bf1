#pragma once

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

// With --mqtt, what publishes the watch's rounds (a child of the watch); null without.
MqttPublisher* MqttFor(Session& s, BusWatch& watch);
// Starts the watch: with a publisher once the broker answered or the start's
// wait is over; a broker that refuses it ends the command with 1 instead.
void StartWatch(Session& s, BusWatch& watch, MqttPublisher* mqtt);
// Ends the command with status once what waits for the broker went out.
void FinishWatch(Session& s, MqttPublisher* mqtt, int status);

}  // namespace quorval

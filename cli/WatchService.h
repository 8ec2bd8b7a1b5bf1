#pragma once

// The watch left running for months as a service: its rows in a file a day
// (--log-dir, --keep-days), its metrics for Prometheus (--prom), and what the
// service manager is told.

#include <memory>
#include <vector>

#include <QObject>
#include <QString>

#include "cli/Cli.h"
#include "publish/ServiceNotify.h"
#include "record/WatchLog.h"

namespace quorval {

class BusWatch;

// The checks of these options' values, for the command line and --config.
std::vector<OptionCheck> ServiceChecks();
// Options that do not go together; empty when fine.
QString ServiceProblem(const Options& o);
// Before the port is opened: opens the day files of --log-dir (making the
// directory) into dayLog. 0, or 1 once said why not.
int PrepareService(const Options& o, std::unique_ptr<WatchLog>& dayLog);

// Hooked to a watch: the metrics file after every round, and the service
// manager's notifications.
class WatchServiceFaces : public QObject {
  public:
    WatchServiceFaces(BusWatch& watch, Session& s, QObject* parent = nullptr);

  private:
    WatchServiceNotifier notifier_;
    QString prom_;
    QString system_;
    bool promFailing_ = false;
};

}  // namespace quorval

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "record/WatchTracker.h"

namespace quorval {

class BusWatch;

// What a watch run by systemd (Type=notify) tells it. Without a service manager
// (no NOTIFY_SOCKET) nothing is sent; a build without libsystemd, and every
// Windows build, sends nothing at all.

// Whether this build can tell a service manager anything.
bool ServiceNotifyBuiltIn();
// Sends one message of "NAME=value" lines.
void NotifyService(const QByteArray& state);

// "round 812, 16 modules, 1 missing, link up": modules known so far, and how
// many of them did not answer this round.
QString WatchStatusLine(const WatchRound& round, const WatchTracker& tracker);

// READY=1 once the first round has ended, a STATUS= line after every round,
// STOPPING=1 at the end, and, when the service manager watches (WATCHDOG_USEC),
// WATCHDOG=1 at half its interval from the event loop that drives the line, so
// that a loop that hangs stops the pings and gets the watch restarted.
class WatchServiceNotifier : public QObject {
    Q_OBJECT
  public:
    explicit WatchServiceNotifier(BusWatch& watch, QObject* parent = nullptr);

  private:
    QTimer watchdog_;
    bool ready_ = false;
};

}  // namespace quorval

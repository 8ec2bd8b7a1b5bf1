#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "link/CommandFrame.h"

namespace quorval {

class ModuleLink;

// Hands one frame to the device and waits until it has left: the step of the
// exchanges that send a configuration (the relay Apply, the programming run).
// They hold the line for all of it, so this is no exchange of its own.
class FrameDelivery : public QObject {
    Q_OBJECT
  public:
    // How long a frame may take to leave for the device.
    static constexpr int kLimitMs = 1000;

    FrameDelivery(ModuleLink& link, QObject* parent);

    // Sends; false at once, and no delivered signal, when the port refused it.
    bool Send(const CommandFrame& frame);
    // Ends the wait now: true when the frame had left all the same; otherwise
    // what has not left is dropped, never sent later.
    bool Stop();
    bool Pending() const { return poll_.isActive(); }

  signals:
    // Whether the frame has left; false when the port went away first or did
    // not take it in time (what was left of it is then dropped).
    void delivered(bool sent);

  private:
    void Check();
    void Done(bool sent);

    ModuleLink& link_;
    QTimer poll_;
    QElapsedTimer clock_;
};

}  // namespace quorval

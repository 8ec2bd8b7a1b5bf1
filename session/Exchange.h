#pragma once

#include <functional>

#include <QObject>
#include <QPointer>

#include "link/ModuleLink.h"

namespace quorval {

// One exchange on the line, run from the event loop, never from a loop of its
// own. Start takes the line, or is turned away while another exchange holds it;
// the exchange then reacts to the link's signals and its own timers and ends
// exactly once, with its finished signal. A lost link or a stop request ends it
// at once. It deletes itself afterwards, and so it does when turned away: make
// the connections, call Start, keep no pointer.
class Exchange : public QObject, public LineExchange {
    Q_OBJECT
  public:
    ~Exchange() override;
    bool Running() const { return running_; }

  protected:
    // The link's child. No link: an exchange that needs no line (the command
    // line's port test), with the parent given.
    explicit Exchange(ModuleLink& link);
    Exchange(ModuleLink* link, QObject* parent);

    ModuleLink& Link() { return *link_; }
    // Takes the line; false when it is busy or the program is stopping.
    bool Begin();
    // Stops its timers and lets the line go; true only the first time, when the
    // caller emits finished.
    bool End();
    // For an outcome known at once: finish runs from the event loop, never
    // inside Start, so that the caller's connections are all there.
    void EndSoon(std::function<void()> finish);

  private:
    QPointer<ModuleLink> link_;
    bool running_ = false;
    bool ended_ = false;
};

}  // namespace quorval

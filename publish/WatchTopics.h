#pragma once

#include <cstddef>
#include <optional>
#include <unordered_map>

#include <QByteArray>
#include <QString>

#include "publish/PublishQueue.h"
#include "record/WatchTracker.h"

namespace quorval {

// The topics of one system under quorval/NAME/ and what the rounds of a watch
// put into them: the retained state (link, round, a topic per module) and the
// events; with discovery also Home Assistant's configuration of each module.
class WatchTopics {
  public:
    WatchTopics(const QString& name, bool discovery);

    QByteArray StatusTopic() const { return base_ + "status"; }
    static QByteArray Online() { return "online"; }
    static QByteArray Offline() { return "offline"; }

    // What changed in this round; modulesKnown: the modules of the watch so far.
    void Feed(const WatchRound& round, std::size_t modulesKnown, PublishQueue& q);

  private:
    void Discover(const ModuleState& m, PublishQueue& q) const;

    QString name_;
    QByteArray base_;
    bool discovery_;
    std::unordered_map<int, WatchSample> published_;  // each module as last published
    bool linkPublished_ = false;
};

}  // namespace quorval

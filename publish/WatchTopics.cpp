#include "publish/WatchTopics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "model/ModuleText.h"
#include "record/WatchLog.h"
#include "record/WatchText.h"

namespace quorval {

namespace {

QByteArray Json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray LinkPayload(bool up, std::int64_t timeMs, const QString& reason = {}) {
    QJsonObject o{{"state", up ? "up" : "lost"}, {"time", WatchTimeText(timeMs)}};
    if (!up) {
        o.insert("reason", reason);
    }
    return Json(o);
}

// Home Assistant takes only these in the parts of a discovery topic.
QString DiscoveryId(const QString& text) {
    QString id = text;
    for (QChar& c : id) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
              u == '_' || u == '-')) {
            c = QLatin1Char('_');
        }
    }
    return id;
}

}  // namespace

WatchTopics::WatchTopics(const QString& name, bool discovery)
    : name_(name), base_("quorval/" + name.toUtf8() + '/'), discovery_(discovery) {}

void WatchTopics::Feed(const WatchRound& round, std::size_t modulesKnown, PublishQueue& q) {
    for (const WatchEvent& e : round.events) {
        if (e.kind == WatchEventKind::LinkLost || e.kind == WatchEventKind::LinkBack) {
            q.SetRetained(Retained::Link, base_ + "link",
                          LinkPayload(e.kind == WatchEventKind::LinkBack, e.timeMs, e.reason));
            linkPublished_ = true;
        }
    }
    if (!linkPublished_) {  // the first round got through
        q.SetRetained(Retained::Link, base_ + "link", LinkPayload(round.linkUp, round.timeMs));
        linkPublished_ = true;
    }
    int missing = round.linkUp ? 0 : static_cast<int>(modulesKnown);
    for (const WatchSample& s : round.samples) {
        missing += s.present ? 0 : 1;
        const auto [at, added] = published_.try_emplace(s.state.id, s);
        WatchSample& last = at->second;
        if (!added && last.state == s.state && last.present == s.present) {
            continue;
        }
        if (discovery_ && (added || last.state.version != s.state.version)) {
            Discover(s.state, q);
        }
        last = s;
        q.SetRetained(Retained::Module, base_ + "module/" + QByteArray::number(s.state.id),
                      Json(WatchSampleJson(round.timeMs, round.number, s)));
    }
    q.SetRetained(Retained::Round, base_ + "round",
                  Json({{"round", round.number},
                        {"time", WatchTimeText(round.timeMs)},
                        {"modules", static_cast<int>(modulesKnown)},
                        {"missing", missing}}));
    for (const WatchEvent& e : round.events) {
        q.AddEvent(base_ + "event", Json(WatchEventJson(e)));
    }
}

// Per module one device with a binary sensor per channel in error, a sensor per
// channel's error counter and one for its presence, all read from its topic.
void WatchTopics::Discover(const ModuleState& m, PublishQueue& q) const {
    const QString id = QStringLiteral("quorval_%1_%2").arg(name_).arg(m.id);
    const QString node = DiscoveryId(id);
    const QString firmware = VersionText(m.version);
    const QJsonObject device{
        {"identifiers", QJsonArray{id}},
        {"name", QStringLiteral("Module %1").arg(m.id)},
        {"manufacturer", "QUORVAL"},
        {"model", QStringLiteral("LWL coupler module, firmware %1").arg(firmware)},
        {"sw_version", firmware}};
    const QString state = QString::fromUtf8(base_) + QStringLiteral("module/%1").arg(m.id);
    const auto entity = [&](const char* component, const QString& object, const QString& name,
                            const QString& field, QJsonObject extra) {
        extra.insert("name", name);
        extra.insert("unique_id", node + QLatin1Char('_') + object);
        extra.insert("state_topic", state);
        extra.insert("value_template", QStringLiteral("{{ value_json.%1 }}").arg(field));
        extra.insert("availability_topic", QString::fromUtf8(StatusTopic()));
        extra.insert("payload_available", QString::fromUtf8(Online()));
        extra.insert("payload_not_available", QString::fromUtf8(Offline()));
        extra.insert("device", device);
        q.SetRetained(Retained::Discovery,
                      QStringLiteral("homeassistant/%1/%2/%3/config")
                          .arg(QLatin1String(component), node, object)
                          .toUtf8(),
                      Json(extra));
    };
    const QJsonObject onOff{{"payload_on", "1"}, {"payload_off", "0"}};
    for (int ch = 1; ch <= 2; ++ch) {
        QJsonObject problem = onOff;
        problem.insert("device_class", "problem");
        entity("binary_sensor", QStringLiteral("ch%1_error").arg(ch),
               QStringLiteral("CH%1 error").arg(ch), QStringLiteral("ch%1_error").arg(ch), problem);
        entity("sensor", QStringLiteral("ch%1_count").arg(ch),
               QStringLiteral("CH%1 error counter").arg(ch), QStringLiteral("ch%1_count").arg(ch),
               {{"state_class", "total_increasing"}});
    }
    QJsonObject present = onOff;
    present.insert("device_class", "connectivity");
    entity("binary_sensor", QStringLiteral("present"), QStringLiteral("Present"),
           QStringLiteral("present"), present);
}

}  // namespace quorval

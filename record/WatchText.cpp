#include "record/WatchText.h"

#include <array>

#include <QDateTime>

#include "model/ModuleText.h"

namespace quorval {

namespace {

QString Count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString Module(int id) {
    return QStringLiteral("module %1").arg(id);
}

QString Channel(const WatchEvent& e) {
    return QStringLiteral("module %1 CH%2").arg(e.id).arg(e.channel);
}

QString ChannelLine(int id, int channel, const ChannelFigures& c) {
    QStringList parts;
    if (c.gained > 0) {
        parts << Count(c.gained, "error gained", "errors gained");
    }
    if (c.largestRise > 0) {
        parts << QStringLiteral("largest rise %1 in one round").arg(c.largestRise);
    }
    if (c.roundsInError > 0) {
        parts << QStringLiteral("in error in %1").arg(Count(c.roundsInError, "round", "rounds"));
    }
    if (c.falls > 0) {
        parts << QStringLiteral("counter fell %1 (restart or reset)")
                     .arg(Count(c.falls, "time", "times"));
    }
    if (parts.isEmpty()) {
        return {};
    }
    return QStringLiteral("module %1 CH%2: %3").arg(id).arg(channel).arg(parts.join(", "));
}

}  // namespace

QString WatchTimeText(std::int64_t timeMs) {
    return QDateTime::fromMSecsSinceEpoch(timeMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString DurationText(std::int64_t ms) {
    const std::int64_t s = (ms < 0 ? 0 : ms + 500) / 1000;
    const auto two = [](std::int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QChar('0')); };
    if (s >= 3600) {
        return QStringLiteral("%1 h %2 min %3 s").arg(s / 3600).arg(two(s / 60 % 60), two(s % 60));
    }
    if (s >= 60) {
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(two(s % 60));
    }
    return QStringLiteral("%1 s").arg(s);
}

QString WatchEventText(const WatchEvent& e) {
    switch (e.kind) {
        case WatchEventKind::Missing:
            return Module(e.id) + QStringLiteral(" missing");
        case WatchEventKind::Back:
            return Module(e.id) + QStringLiteral(" back");
        case WatchEventKind::New:
            return Module(e.id) + QStringLiteral(" new");
        case WatchEventKind::Error:
            return Channel(e) + QStringLiteral(" error");
        case WatchEventKind::Ok:
            return Channel(e) + QStringLiteral(" ok again");
        case WatchEventKind::Rose:
            return Channel(e) + QStringLiteral(" counter rose %1 -> %2 (+%3)")
                                    .arg(e.before)
                                    .arg(e.after)
                                    .arg(e.after - e.before);
        case WatchEventKind::Fell:
            return Channel(e) +
                   QStringLiteral(" counter fell %1 -> %2 (module restarted or counter reset)")
                       .arg(e.before)
                       .arg(e.after);
        case WatchEventKind::Foreign:
            return Module(e.id) + QStringLiteral(" is a none-QUORVAL module (firmware %1)")
                                      .arg(VersionText(static_cast<std::uint8_t>(e.before)));
        case WatchEventKind::NoModules:
            return QStringLiteral("no module answered");
        case WatchEventKind::LinkLost:
            return QStringLiteral("link lost: ") + e.reason;
        case WatchEventKind::LinkBack:
            return QStringLiteral("link back");
    }
    return {};
}

QString TrendSummary(int id, const CounterHistory& history) {
    const QString module = QStringLiteral("Module %1").arg(id);
    struct Channel {
        int first = 0;
        int last = 0;
        int rises = 0;
        int falls = 0;
    };
    std::array<Channel, 2> channels{};
    const CounterHistory::Run* first = nullptr;
    const CounterHistory::Run* last = nullptr;
    int gaps = 0;
    bool inGap = false;
    for (const CounterHistory::Run& r : history.Runs()) {
        if (!r.Present()) {
            gaps += first && !inGap ? 1 : 0;
            inGap = first != nullptr;
            continue;
        }
        inGap = false;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            Channel& ch = channels[c];
            const int value = c == 0 ? r.count1 : r.count2;
            if (!first) {
                ch.first = value;
            } else {
                ch.rises += value > ch.last ? 1 : 0;
                ch.falls += value < ch.last ? 1 : 0;
            }
            ch.last = value;
        }
        first = first ? first : &r;
        last = &r;
    }
    if (!first) {
        return module + QStringLiteral(", no answer yet");
    }
    const QString span =
        DurationText((std::int64_t{last->to} - first->from) * CounterHistory::kMsPerTick);
    QStringList parts;
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const Channel& ch = channels[c];
        if (ch.rises == 0 && ch.falls == 0) {
            continue;
        }
        QString part = QStringLiteral("CH%1 counter %2 to %3 in %4, %5")
                           .arg(c + 1)
                           .arg(ch.first)
                           .arg(ch.last)
                           .arg(span, Count(ch.rises, "rise", "rises"));
        if (ch.falls > 0) {
            part += QStringLiteral(", ") + Count(ch.falls, "fall", "falls");
        }
        parts << part;
    }
    if (parts.isEmpty()) {
        parts << QStringLiteral("counters steady in %1, CH1 at %2, CH2 at %3")
                     .arg(span)
                     .arg(channels[0].last)
                     .arg(channels[1].last);
    }
    if (gaps > 0) {
        parts << QStringLiteral("no answer in ") + Count(gaps, "stretch", "stretches");
    }
    return module + QStringLiteral(", ") + parts.join(QStringLiteral(", "));
}

QString WatchEventLine(const WatchEvent& e) {
    return WatchTimeText(e.timeMs) + QLatin1Char(' ') + WatchEventText(e);
}

QString WatchEventName(WatchEventKind kind) {
    switch (kind) {
        case WatchEventKind::Missing:
            return QStringLiteral("missing");
        case WatchEventKind::Back:
            return QStringLiteral("back");
        case WatchEventKind::New:
            return QStringLiteral("new");
        case WatchEventKind::Error:
            return QStringLiteral("error");
        case WatchEventKind::Ok:
            return QStringLiteral("ok");
        case WatchEventKind::Rose:
            return QStringLiteral("rose");
        case WatchEventKind::Fell:
            return QStringLiteral("fell");
        case WatchEventKind::Foreign:
            return QStringLiteral("foreign");
        case WatchEventKind::NoModules:
            return QStringLiteral("no_modules");
        case WatchEventKind::LinkLost:
            return QStringLiteral("link_lost");
        case WatchEventKind::LinkBack:
            return QStringLiteral("link_back");
    }
    return {};
}

QJsonObject WatchEventJson(const WatchEvent& e) {
    QJsonObject o{{"time", WatchTimeText(e.timeMs)},
                  {"round", e.round},
                  {"event", WatchEventName(e.kind)},
                  {"text", WatchEventText(e)}};
    if (e.id >= 0) {
        o.insert("id", e.id);
    }
    if (e.channel > 0) {
        o.insert("channel", e.channel);
    }
    if (e.kind == WatchEventKind::Rose || e.kind == WatchEventKind::Fell) {
        o.insert("old", e.before);
        o.insert("new", e.after);
        o.insert("difference", e.after - e.before);
    }
    if (e.kind == WatchEventKind::Foreign) {
        o.insert("version", VersionText(static_cast<std::uint8_t>(e.before)));
    }
    if (e.kind == WatchEventKind::LinkLost) {
        o.insert("reason", e.reason);
    }
    return o;
}

QStringList WatchSummary(const WatchTracker& t) {
    QStringList lines;
    if (t.Rounds() == 0) {
        return {QStringLiteral("no round completed"), QStringLiteral("nothing happened")};
    }
    lines << QStringLiteral("%1 from %2 to %3 (%4), %5")
                 .arg(Count(t.Rounds(), "round", "rounds"), WatchTimeText(t.FirstTimeMs()),
                      WatchTimeText(t.LastTimeMs()), DurationText(t.LastTimeMs() - t.FirstTimeMs()),
                      Count(static_cast<int>(t.Modules().size()), "module", "modules"));
    const int head = static_cast<int>(lines.size());
    for (const WatchTracker::Known& k : t.Modules()) {
        const ModuleFigures& f = k.figures;
        if (f.foreignVersion >= 0) {
            lines << Module(f.id) +
                         QStringLiteral(": none-QUORVAL module (firmware %1)")
                             .arg(VersionText(static_cast<std::uint8_t>(f.foreignVersion)));
        }
        if (f.roundsMissing > 0) {
            lines << Module(f.id) + QStringLiteral(": missing in %1")
                                        .arg(Count(f.roundsMissing, "round", "rounds"));
        }
        for (int ch = 1; ch <= 2; ++ch) {
            if (QString line = ChannelLine(f.id, ch, f.channel[static_cast<std::size_t>(ch - 1)]);
                !line.isEmpty()) {
                lines << line;
            }
        }
    }
    if (t.RoundsWithoutModules() > 0) {
        lines << QStringLiteral("no module answered in %1")
                     .arg(Count(t.RoundsWithoutModules(), "round", "rounds"));
    }
    if (t.LinkLosses() > 0) {
        lines << QStringLiteral("link lost %1, %2 without link%3")
                     .arg(Count(t.LinkLosses(), "time", "times"),
                          Count(t.RoundsWithoutLink(), "round", "rounds"),
                          t.LinkUp() ? QString() : QStringLiteral(", not back at the end"));
    }
    if (lines.size() == head) {
        lines << QStringLiteral("nothing happened");
    }
    return lines;
}

}  // namespace quorval

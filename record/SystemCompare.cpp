#include "record/SystemCompare.h"

#include <algorithm>
#include <limits>
#include <tuple>
#include <unordered_map>

#include "common/Parse.h"
#include "model/ModuleText.h"

namespace quorval {

namespace {

struct Placed {
    const ModuleState* state = nullptr;
    int position = 0;  // in display order, 0 = attached to the PC
};
using ById = std::unordered_map<int, Placed>;

ById Index(const std::vector<ModuleState>& modules) {
    ById index;
    for (std::size_t i = 0; i < modules.size(); ++i) {
        index[modules[i].id] = Placed{&modules[i], static_cast<int>(i)};
    }
    return index;
}

QString Where(const Placed& p) {
    return QStringLiteral("position %1, side %2, firmware %3")
        .arg(p.position)
        .arg(QChar(static_cast<unsigned char>(p.state->side)))
        .arg(VersionText(p.state->version));
}

QString StatusText(bool error) {
    return error ? QStringLiteral("error") : QStringLiteral("ok");
}

// The modules found in both that are not in one longest run kept in the same
// order: the fewest that must have moved to explain the new order.
std::vector<int> Moved(const std::vector<ModuleState>& now, const ById& before,
                       const std::vector<int>& skip) {
    std::vector<int> ids;
    std::vector<int> ranks;  // baseline position of each, in the order found now
    for (const ModuleState& m : now) {
        const auto it = before.find(m.id);
        if (it != before.end() && std::find(skip.begin(), skip.end(), m.id) == skip.end()) {
            ids.push_back(m.id);
            ranks.push_back(it->second.position);
        }
    }
    // Longest increasing subsequence in n log n, with links to rebuild it.
    std::vector<int> tails;  // index into ranks of the smallest tail of each length
    std::vector<int> link(ranks.size(), -1);
    for (int i = 0; i < static_cast<int>(ranks.size()); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), ranks[i],
                                         [&](int t, int rank) { return ranks[t] < rank; });
        link[i] = at == tails.begin() ? -1 : *(at - 1);
        if (at == tails.end()) {
            tails.push_back(i);
        } else {
            *at = i;
        }
    }
    std::vector<bool> kept(ranks.size(), false);
    for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = link[i]) {
        kept[i] = true;
    }
    std::vector<int> moved;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (!kept[i]) {
            moved.push_back(ids[i]);
        }
    }
    return moved;
}

}  // namespace

std::vector<Difference> CompareSystems(const std::vector<ModuleState>& baseline,
                                       const std::vector<ModuleState>& now) {
    const ById before = Index(baseline);
    const ById after = Index(now);
    std::vector<Difference> out;
    const auto add = [&out](Change c, int id, QString what, QString was, QString is, int by = 0) {
        out.push_back({c, id, std::move(what), std::move(was), std::move(is), by});
    };
    for (const ModuleState& m : baseline) {
        if (!after.count(m.id)) {
            add(Change::Missing, m.id, "missing", Where(before.at(m.id)), {});
        }
    }
    std::vector<int> sideChanged;
    for (const ModuleState& m : now) {
        const auto it = before.find(m.id);
        const ModuleState* old = it == before.end() ? nullptr : it->second.state;
        using Status = std::tuple<int, bool, bool>;  // channel, error now, error before
        for (const auto& [channel, error, wasError] :
             {Status{1, m.error1, old && old->error1}, Status{2, m.error2, old && old->error2}}) {
            if (error) {
                add(Change::ChannelError, m.id, QStringLiteral("CH%1 status").arg(channel),
                    old ? StatusText(wasError) : QString(), StatusText(true));
            }
        }
        if (!old) {
            add(Change::New, m.id, "new", {}, Where(after.at(m.id)));
            continue;
        }
        const ModeText was = DecodeMode(old->mode);
        const ModeText is = DecodeMode(m.mode);
        if (was.baud != is.baud) {
            add(Change::Configuration, m.id, "baud rate", was.baud, is.baud);
        }
        if (was.identifiers != is.identifiers) {
            add(Change::Configuration, m.id, "identifiers", was.identifiers, is.identifiers);
        }
        if (was.topology != is.topology) {
            add(Change::Configuration, m.id, "topology", was.topology, is.topology);
        }
        if (was.relay != is.relay) {
            add(Change::Configuration, m.id, "relay logic", was.relay, is.relay);
        }
        if (old->version != m.version) {
            add(Change::Firmware, m.id, "firmware", VersionText(old->version),
                VersionText(m.version));
        }
        if (old->side != m.side) {
            sideChanged.push_back(m.id);
            add(Change::Side, m.id, "side", QString(QChar(static_cast<unsigned char>(old->side))),
                QString(QChar(static_cast<unsigned char>(m.side))));
        }
        using Counter = std::tuple<int, int, int>;  // channel, count now, count before
        for (const auto& [channel, count, wasCount] :
             {Counter{1, m.count1, old->count1}, Counter{2, m.count2, old->count2}}) {
            if (count != wasCount) {
                add(count > wasCount ? Change::CounterRose : Change::CounterFell, m.id,
                    QStringLiteral("CH%1 counter").arg(channel), QString::number(wasCount),
                    QString::number(count), count - wasCount);
            }
        }
    }
    for (int id : Moved(now, before, sideChanged)) {
        add(Change::Position, id, "position", QString::number(before.at(id).position),
            QString::number(after.at(id).position));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Difference& a, const Difference& b) { return a.change < b.change; });
    return out;
}

bool IsCounterChange(Change c) {
    return c == Change::CounterRose || c == Change::CounterFell;
}

bool SystemDiffers(const std::vector<Difference>& differences) {
    return std::any_of(differences.begin(), differences.end(),
                       [](const Difference& d) { return !IsCounterChange(d.change); });
}

QString CounterNote(const Difference& d) {
    switch (d.change) {
        case Change::CounterRose:
            return QStringLiteral(" (+%1)").arg(d.by);
        case Change::CounterFell:
            return QStringLiteral(" (module restarted or counter reset)");
        default:
            return {};
    }
}

QString DifferenceLine(const Difference& d) {
    const QString id = QStringLiteral("%1  ").arg(d.module, 5);
    switch (d.change) {
        case Change::Missing:
            return id + QStringLiteral("missing (was at %1)").arg(d.was);
        case Change::New:
            return id + QStringLiteral("new (at %1)").arg(d.now);
        default:
            break;
    }
    QString change;
    const QString wasHead = d.was.section(QLatin1Char(' '), 0, 0);
    const QString nowHead = d.now.section(QLatin1Char(' '), 0, 0);
    const QString unit = d.was.section(QLatin1Char(' '), 1);
    const auto number = [](const QString& s) {
        return ParseWhole(s.toStdString(), 0, std::numeric_limits<long long>::max()).has_value();
    };
    if (d.was.isEmpty()) {
        change = d.now;
    } else if (d.was == d.now) {
        change = d.now + QStringLiteral(" (as in the baseline)");
    } else if (number(wasHead) && number(nowHead) && !unit.isEmpty() &&
               d.now.section(QLatin1Char(' '), 1) == unit) {
        change = QStringLiteral("%1 → %2 %3").arg(wasHead, nowHead, unit);  // "125 → 250 KBit/s"
    } else {
        change = QStringLiteral("%1 → %2").arg(d.was, d.now);
    }
    return id + d.what + QStringLiteral(": ") + change + CounterNote(d);
}

QString Verdict(const std::vector<Difference>& differences, int modulesNow) {
    const auto count = [&differences](Change c) {
        return std::count_if(differences.begin(), differences.end(),
                             [c](const Difference& d) { return d.change == c; });
    };
    const auto rose = count(Change::CounterRose);
    const auto fell = count(Change::CounterFell);
    const auto serious = static_cast<qsizetype>(differences.size()) - rose - fell;
    QString verdict =
        serious == 0
            ? QStringLiteral("the system matches the baseline (%1 modules)").arg(modulesNow)
            : QStringLiteral("the system differs from the baseline: %1 %2")
                  .arg(serious)
                  .arg(serious == 1 ? "difference" : "differences");
    if (rose > 0) {
        verdict += QStringLiteral("; error counters rose on %1 %2")
                       .arg(rose)
                       .arg(rose == 1 ? "channel" : "channels");
    }
    if (fell > 0) {
        verdict += QStringLiteral(
                       "; error counters fell on %1 %2 (module restarted or counter "
                       "reset)")
                       .arg(fell)
                       .arg(fell == 1 ? "channel" : "channels");
    }
    return verdict;
}

QJsonObject DifferenceJson(const Difference& d) {
    return QJsonObject{{"module", d.module}, {"what", d.what}, {"was", d.was}, {"now", d.now}};
}

}  // namespace quorval

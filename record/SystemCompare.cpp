#include "record/SystemCompare.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

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
    const auto add = [&out](Change c, int id, QString what, QString was, QString is) {
        out.push_back({c, id, std::move(what), std::move(was), std::move(is)});
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
            if (count > wasCount) {
                add(Change::CounterRose, m.id, QStringLiteral("CH%1 counter").arg(channel),
                    QString::number(wasCount), QString::number(count));
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

bool SystemDiffers(const std::vector<Difference>& differences) {
    return std::any_of(differences.begin(), differences.end(),
                       [](const Difference& d) { return d.change != Change::CounterRose; });
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
    bool wasNumber = false;
    bool nowNumber = false;
    const QString wasHead = d.was.section(QLatin1Char(' '), 0, 0);
    const QString unit = d.was.section(QLatin1Char(' '), 1);
    wasHead.toInt(&wasNumber);
    d.now.section(QLatin1Char(' '), 0, 0).toInt(&nowNumber);
    if (d.was.isEmpty()) {
        change = d.now;
    } else if (d.was == d.now) {
        change = d.now + QStringLiteral(" (as in the baseline)");
    } else if (wasNumber && nowNumber && !unit.isEmpty() &&
               d.now.section(QLatin1Char(' '), 1) == unit) {
        change = QStringLiteral("%1 → %2 %3")
                     .arg(wasHead, d.now.section(QLatin1Char(' '), 0, 0),
                          unit);  // "125 → 250 KBit/s"
    } else {
        change = QStringLiteral("%1 → %2").arg(d.was, d.now);
    }
    if (d.change == Change::CounterRose) {
        change += QStringLiteral(" (+%1)").arg(d.now.toInt() - d.was.toInt());
    }
    return id + d.what + QStringLiteral(": ") + change;
}

QString Verdict(const std::vector<Difference>& differences, int modulesNow) {
    const auto rose =
        std::count_if(differences.begin(), differences.end(),
                      [](const Difference& d) { return d.change == Change::CounterRose; });
    const auto serious = static_cast<qsizetype>(differences.size()) - rose;
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
    return verdict;
}

QJsonObject DifferenceJson(const Difference& d) {
    return QJsonObject{{"module", d.module}, {"what", d.what}, {"was", d.was}, {"now", d.now}};
}

}  // namespace quorval

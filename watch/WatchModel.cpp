#include "watch/WatchModel.h"

#include <algorithm>
#include <limits>

#include "model/ModuleText.h"
#include "record/WatchText.h"

namespace quorval {

namespace {

constexpr std::size_t kMaxLinkMarks = 1024;

const ChannelFigures& ChannelOf(const ModuleFigures& f, int channel) {
    return f.channel[static_cast<std::size_t>(channel - 1)];
}

bool Numeric(int column) {
    return column != WatchModel::Ch1Status && column != WatchModel::Ch2Status;
}

}  // namespace

bool SomethingHappened(const ModuleFigures& f) {
    if (f.roundsMissing > 0 || f.foreignVersion >= 0) {
        return true;
    }
    return std::any_of(f.channel.begin(), f.channel.end(), [](const ChannelFigures& c) {
        return c.gained > 0 || c.roundsInError > 0 || c.falls > 0;
    });
}

void WatchEventList::Add(const std::vector<WatchEvent>& events) {
    if (events.empty()) {
        return;
    }
    // Only the newest kMaxEvents of a round can stay.
    const std::size_t n = std::min(events.size(), kMaxEvents);
    beginInsertRows({}, 0, static_cast<int>(n) - 1);
    for (auto e = events.rbegin(); e != events.rbegin() + static_cast<std::ptrdiff_t>(n); ++e) {
        events_.push_front({*e, {}});
    }
    endInsertRows();
    Trim();
}

void WatchEventList::AddNote(std::int64_t timeMs, const QString& text) {
    beginInsertRows({}, 0, 0);
    WatchEvent e;
    e.timeMs = timeMs;
    events_.push_front({e, text});
    endInsertRows();
    Trim();
}

void WatchEventList::Trim() {
    if (events_.size() > kMaxEvents) {
        beginRemoveRows({}, static_cast<int>(kMaxEvents), static_cast<int>(events_.size()) - 1);
        events_.resize(kMaxEvents);
        endRemoveRows();
    }
}

int WatchEventList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

QVariant WatchEventList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) {
        return {};
    }
    const Row& r = events_[static_cast<std::size_t>(index.row())];
    return r.note.isEmpty() ? WatchEventLine(r.event)
                            : WatchTimeText(r.event.timeMs) + QLatin1Char(' ') + r.note;
}

WatchModel::WatchModel(QObject* parent) : QAbstractTableModel(parent), events_(this) {}

std::uint32_t WatchModel::Tick(std::int64_t timeMs) const {
    const std::int64_t t = (timeMs - startMs_) / CounterHistory::kMsPerTick;
    return static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(t, 0, std::numeric_limits<std::uint32_t>::max()));
}

std::int64_t WatchModel::TimeOf(std::uint32_t tick) const {
    return startMs_ + static_cast<std::int64_t>(tick) * CounterHistory::kMsPerTick;
}

int WatchModel::AddRow(const WatchTracker::Known& k) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back(k);
    histories_.emplace_back();
    rowOf_[k.figures.id] = row;
    endInsertRows();
    return row;
}

void WatchModel::Feed(const WatchRound& round, const WatchTracker& tracker) {
    if (rounds_++ == 0) {
        startMs_ = round.timeMs;
    }
    lastMs_ = std::max(lastMs_, round.timeMs);
    const std::uint32_t at = Tick(round.timeMs);
    for (const WatchTracker::Known& k : tracker.Modules()) {
        const int row = RowOf(k.figures.id);
        rows_[static_cast<std::size_t>(row < 0 ? AddRow(k) : row)] = k;
    }
    if (round.linkUp) {
        for (const WatchSample& s : round.samples) {
            const int row = RowOf(s.state.id);
            if (row >= 0) {
                CounterHistory& h = histories_[static_cast<std::size_t>(row)];
                s.present ? h.Add(at, s.state.count1, s.state.count2) : h.Add(at);
            }
        }
    } else {
        for (CounterHistory& h : histories_) {
            h.Add(at);  // no sample from anyone: a gap in every trend
        }
    }
    for (const WatchEvent& e : round.events) {
        if (const int row = RowOf(e.id); row >= 0) {
            histories_[static_cast<std::size_t>(row)].AddMark(at, e);
        } else {
            if (linkMarks_.size() >= kMaxLinkMarks) {
                linkMarks_.erase(linkMarks_.begin());
            }
            linkMarks_.push_back(e);
        }
    }
    events_.Add(round.events);
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
    }
}

int WatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int WatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

int WatchModel::IdAt(int row) const {
    return row >= 0 && row < rowCount() ? Module(row).figures.id : -1;
}

int WatchModel::RowOf(int id) const {
    const auto it = rowOf_.find(id);
    return it == rowOf_.end() ? -1 : it->second;
}

QVariant WatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) {
        return {};
    }
    static const char* const kHeaders[kColumns][2] = {
        {"ID", "module ID"},
        {"Firmware", "firmware version"},
        {"CH1", "status of CAN channel 1 in the last round"},
        {"CH1 count", "error counter of channel 1 as the module reports it"},
        {"CH1 gained", "errors channel 1 counted since the watch started"},
        {"CH2", "status of CAN channel 2 in the last round"},
        {"CH2 count", "error counter of channel 2 as the module reports it"},
        {"CH2 gained", "errors channel 2 counted since the watch started"},
        {"Largest rise", "the largest rise of a counter in one round"},
        {"Missing", "rounds in which the module did not answer"}};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return QString::fromLatin1(kHeaders[section][role == Qt::DisplayRole ? 0 : 1]);
    }
    return {};
}

QVariant WatchModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) {
        return {};
    }
    const WatchTracker::Known& k = Module(index.row());
    const ModuleState& m = k.sample.state;
    const ModuleFigures& f = k.figures;
    const bool present = k.sample.present;
    if (role == StandOutRole) {
        return static_cast<int>(!present               ? RowMark::Missing
                                : SomethingHappened(f) ? RowMark::Eventful
                                                       : RowMark::Quiet);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::Alignment(Numeric(index.column()) ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    }
    const auto status = [&](int channel) -> QVariant {
        const bool error = channel == 1 ? m.error1 : m.error2;
        if (role == SortRole) {
            return present ? int(error) : 2;
        }
        return present ? ChannelStateText(error) : MissingText();
    };
    const auto rise = std::max(f.channel[0].largestRise, f.channel[1].largestRise);
    if (role == Qt::ToolTipRole) {
        switch (index.column()) {
            case Ch1Status:
            case Ch2Status: {
                const int channel = index.column() == Ch1Status ? 1 : 2;
                return QStringLiteral("in error in %1 of %2 rounds; counter fell %3 times")
                    .arg(ChannelOf(f, channel).roundsInError)
                    .arg(rounds_)
                    .arg(ChannelOf(f, channel).falls);
            }
            case LargestRise:
                return QStringLiteral("largest rise in one round: CH1 %1, CH2 %2")
                    .arg(f.channel[0].largestRise)
                    .arg(f.channel[1].largestRise);
            default:
                return {};
        }
    }
    if (role != Qt::DisplayRole && role != SortRole) {
        return {};
    }
    switch (index.column()) {
        case Id:
            return f.id;
        case Firmware:
            return role == SortRole ? QVariant(int(m.version)) : QVariant(VersionText(m.version));
        case Ch1Status:
            return status(1);
        case Ch2Status:
            return status(2);
        case Ch1Count:
            return m.count1;
        case Ch2Count:
            return m.count2;
        case Ch1Gained:
            return f.channel[0].gained;
        case Ch2Gained:
            return f.channel[1].gained;
        case LargestRise:
            return rise;
        case RoundsMissing:
            return f.roundsMissing;
        default:
            return {};
    }
}

WatchModel::Trend WatchModel::TrendOf(int id) const {
    Trend t;
    t.fromMs = startMs_;
    t.toMs = lastMs_;
    const int row = RowOf(id);
    if (row < 0) {
        return t;
    }
    const CounterHistory& h = History(row);
    t.series = {PlotSeries{QStringLiteral("CH1"), {}}, PlotSeries{QStringLiteral("CH2"), {}}};
    for (PlotSeries& s : t.series) {
        s.samples.reserve(h.Runs().size() * 2);
    }
    for (const CounterHistory::Run& r : h.Runs()) {
        const auto add = [&](std::uint32_t tick) {
            const std::int64_t ms = TimeOf(tick);
            const auto value = [&](int count) {
                return r.Present() ? std::optional<double>(count) : std::nullopt;
            };
            t.series[0].samples.push_back({ms, value(r.count1)});
            t.series[1].samples.push_back({ms, value(r.count2)});
        };
        add(r.from);
        if (r.to != r.from) {
            add(r.to);
        }
    }
    for (const CounterHistory::Mark& m : h.Marks()) {
        WatchEvent e;
        e.kind = m.kind;
        e.timeMs = TimeOf(m.at);
        e.id = id;
        e.channel = m.channel;
        e.before = m.before;
        e.after = m.after;
        t.marks.push_back({e.timeMs, WatchEventLine(e)});
    }
    for (const WatchEvent& e : linkMarks_) {
        t.marks.push_back({e.timeMs, WatchEventLine(e)});
    }
    return t;
}

}  // namespace quorval

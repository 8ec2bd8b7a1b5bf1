#include "report/WatchDigest.h"

#include <algorithm>

#include "model/ModuleTable.h"
#include "record/WatchLogReader.h"
#include "record/WatchText.h"
#include "record/WatchTracker.h"

namespace quorval {

namespace {

constexpr int kBadRowSample = 5;
constexpr std::size_t kEventsPerPlot = 6;

// One pass over a log, round by round and watch after watch. Only rounds that
// are whole and in time order go on; each watch starts a tracker of its own.
class Pass {
  public:
    explicit Pass(const QString& path) : reader_(path), rounds_(reader_) {}

    bool Open(QString& error) {
        if (!reader_.Open()) {
            error = reader_.Problem();
            return false;
        }
        return true;
    }

    // The next round to take; fed to the tracker when it is of watch `feed`
    // (0: of any). False at the end.
    bool Next(WatchLogRounds::Round& r, int feed, WatchRound& fed) {
        const auto onBad = [this](const QString& why) {
            ++badRows;
            if (badSample.size() < kBadRowSample) {
                badSample << why;
            }
        };
        while (rounds_.Next(r, onBad)) {
            if (r.newWatch) {
                ++watch;
                tracker = WatchTracker();
                taken_ = false;
                lastNumber_ = 0;
                notLogged = 0;
                leftOut = 0;
            }
            if (lastNumber_ > 0 && r.number > lastNumber_ + 1) {
                notLogged += r.number - lastNumber_ - 1;
            }
            lastNumber_ = r.number;
            // A watch writes every module it knows in every round: fewer rows
            // mean some were cut off or left out, not modules gone missing.
            const std::size_t rows = r.present.size() + r.missing.size();
            if ((taken_ && r.timeMs < lastMs_) || rows < tracker.Modules().size()) {
                ++leftOut;
                continue;
            }
            taken_ = true;
            lastMs_ = r.timeMs;
            if (feed == 0 || feed == watch) {
                fed = tracker.Feed(r.timeMs, r.present);
            }
            return true;
        }
        return false;
    }

    // Of the current watch.
    WatchTracker tracker;
    int watch = 0;  // from 1
    long long notLogged = 0;
    int leftOut = 0;
    // Of the whole file.
    int badRows = 0;
    QStringList badSample;

  private:
    WatchLogReader reader_;
    WatchLogRounds rounds_;
    bool taken_ = false;  // a round of this watch was taken
    int lastNumber_ = 0;
    std::int64_t lastMs_ = 0;
};

bool Quiet(const ChannelFigures& c) {
    return c.gained == 0 && c.roundsInError == 0 && c.falls == 0;
}

// The summary's lines that begin with this module (and channel; 0: either).
QStringList LinesAbout(const QStringList& summary, int id, int channel) {
    QStringList lines;
    const QString module = QStringLiteral("module %1:").arg(id);
    const QString ofChannel = channel == 0 ? QStringLiteral("module %1 CH").arg(id)
                                           : QStringLiteral("module %1 CH%2:").arg(id).arg(channel);
    for (const QString& line : summary) {
        if (line.startsWith(module) || line.startsWith(ofChannel)) {
            lines << line;
        }
    }
    return lines;
}

}  // namespace

WatchDigestRead DigestWatchLog(const QString& path, const PlotFrame& frame) {
    WatchDigest d;
    d.file = path;
    WatchRound fed;
    WatchLogRounds::Round r;
    Pass first(path);
    QString error;
    if (!first.Open(error)) {
        return {std::nullopt, error};
    }
    std::vector<ModuleState> lastPresent;
    while (first.Next(r, 0, fed)) {
        if (first.watch != d.watches) {  // the one before is an earlier watch
            if (d.rounds > 0) {
                d.earlierFromMs = d.watches > 1 ? std::min(d.earlierFromMs, d.fromMs) : d.fromMs;
                d.earlierToMs = d.watches > 1 ? std::max(d.earlierToMs, d.toMs) : d.toMs;
            }
            d.watches = first.watch;
            d.rounds = 0;
            d.firstRound = r.number;
            d.fromMs = r.timeMs;
        }
        ++d.rounds;
        d.lastRound = r.number;
        d.toMs = r.timeMs;
        lastPresent = r.present;
    }
    d.badRows = first.badRows;
    d.badRowSample = first.badSample;
    if (d.rounds == 0) {
        return {std::move(d), {}};
    }
    d.roundsNotLogged = static_cast<int>(std::min<long long>(first.notLogged, 2000000000));
    d.roundsLeftOut = first.leftOut;
    d.summary = WatchSummary(first.tracker);
    d.lastModules = std::move(lastPresent);

    // What to plot, in display order.
    std::vector<int> plotOf(static_cast<std::size_t>(kModuleSlots) * 2, -1);
    const auto plot = [&d, &plotOf](int id, int channel) {
        if (static_cast<int>(d.plots.size()) >= kMaxTrendPlots) {
            ++d.plotsLeftOut;
            return;
        }
        const int at = static_cast<int>(d.plots.size());
        TrendPlot p;
        p.id = id;
        p.channel = channel;
        p.summary = LinesAbout(d.summary, id, channel);
        for (int ch = 1; ch <= 2; ++ch) {
            if (channel == 0 || channel == ch) {
                plotOf[static_cast<std::size_t>(id * 2 + ch - 1)] = at;
                p.series.push_back({QStringLiteral("CH%1").arg(ch), {}});
            }
        }
        d.plots.push_back(std::move(p));
    };
    for (const WatchTracker::Known& k : first.tracker.Modules()) {
        const ModuleFigures& f = k.figures;
        const bool quiet1 = Quiet(f.channel[0]);
        const bool quiet2 = Quiet(f.channel[1]);
        if (!quiet1) {
            plot(f.id, 1);
        }
        if (!quiet2) {
            plot(f.id, 2);
        }
        if (quiet1 && quiet2 && f.roundsMissing > 0) {
            plot(f.id, 0);
        }
        if (quiet1 && quiet2 && f.roundsMissing == 0 && f.foreignVersion < 0) {
            d.quiet.push_back(f.id);
        }
    }

    // Their points, from the same rounds of the same watch.
    // Per plot the thinners of its series, then of a channel's state.
    std::vector<std::vector<PlotThinner>> thinners;
    for (const TrendPlot& p : d.plots) {
        thinners.emplace_back(p.series.size() + (p.channel > 0 ? 1 : 0),
                              PlotThinner(frame, d.fromMs, d.toMs));
    }
    const auto plotAt = [&plotOf](int id, int ch) {
        return IsValidModuleID(id) ? plotOf[static_cast<std::size_t>(id * 2 + ch - 1)] : -1;
    };
    Pass second(path);
    if (!second.Open(error)) {
        return {std::nullopt, error};  // gone or changed since the first pass
    }
    int taken = 0;
    while (taken < d.rounds && second.Next(r, d.watches, fed)) {
        if (second.watch != d.watches) {
            continue;
        }
        ++taken;
        for (const WatchSample& s : fed.samples) {
            for (int ch = 1; ch <= 2; ++ch) {
                const int at = plotAt(s.state.id, ch);
                if (at < 0) {
                    continue;
                }
                const int count = ch == 1 ? s.state.count1 : s.state.count2;
                const bool error = ch == 1 ? s.state.error1 : s.state.error2;
                auto& own = thinners[static_cast<std::size_t>(at)];
                const bool channel = d.plots[static_cast<std::size_t>(at)].channel > 0;
                own[channel ? 0 : static_cast<std::size_t>(ch - 1)].Add(
                    {fed.timeMs, s.present ? std::optional<double>(count) : std::nullopt});
                if (channel) {
                    own[1].Add({fed.timeMs,
                                s.present ? std::optional<double>(error ? 1 : 0) : std::nullopt});
                }
            }
        }
        for (const WatchEvent& e : fed.events) {
            int last = -1;  // a module's event goes once into a plot of both channels
            for (int ch = 1; ch <= 2; ++ch) {
                const int at = plotAt(e.id, ch);
                if (at < 0 || at == last || (e.channel > 0 && e.channel != ch)) {
                    continue;
                }
                last = at;
                TrendPlot& p = d.plots[static_cast<std::size_t>(at)];
                thinners[static_cast<std::size_t>(at)].front().AddMark(
                    {e.timeMs, WatchEventText(e), static_cast<int>(e.kind), 1});
                if (p.events.size() < kEventsPerPlot) {
                    p.events.push_back(e);
                } else {
                    ++p.moreEvents;
                }
            }
        }
    }
    for (std::size_t i = 0; i < d.plots.size(); ++i) {
        TrendPlot& p = d.plots[i];
        for (std::size_t k = 0; k < p.series.size(); ++k) {
            p.series[k].samples = thinners[i][k].Samples();
        }
        if (p.channel > 0) {
            p.inError = {QStringLiteral("in error"), thinners[i].back().Samples()};
        }
        p.marks = thinners[i].front().Marks();
    }
    return {std::move(d), {}};
}

}  // namespace quorval

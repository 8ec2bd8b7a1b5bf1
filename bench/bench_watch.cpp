// Memory of a long watch, without a link: the tracker and the log writer fed
// 255 modules a round, and the log read back whole; the MQTT publisher's queue
// while its broker is away.

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include "publish/MqttPublisher.h"

#include "record/WatchLog.h"
#include "record/WatchLogReader.h"
#include "record/WatchText.h"
#include "report/Report.h"
#include "report/TrendSvg.h"
#include "watch/WatchModel.h"

using namespace quorval;

namespace {

constexpr int kModules = 255;

// Resident memory of this process.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

// Round n of a busy system: every counter of channel 2 rises, one module in ten
// is missing every seventh round, channel 1 of every module is reset every 100.
std::vector<ModuleState> Round(int n) {
    std::vector<ModuleState> modules;
    modules.reserve(kModules);
    for (int i = 0; i < kModules; ++i) {
        if (n % 7 == 0 && i % 10 == 0) {
            continue;
        }
        ModuleState m;
        m.id = 100 + i;
        m.side = i == 0 ? 'G' : (i % 2 ? 'L' : 'R');
        m.version = 34;
        m.mode = 0x05;
        m.count1 = n % 100;
        m.count2 = (n * (i % 5)) % 32768;
        m.error2 = (n / 50 + i) % 3 == 0;
        modules.push_back(m);
    }
    return modules;
}

// Feeds n rounds from round `from` on; returns the events' text size, so nothing is optimised away.
std::size_t Feed(WatchTracker& t, WatchLogWriter& log, int from, int n) {
    std::size_t text = 0;
    for (int r = from; r < from + n; ++r) {
        const WatchRound round = t.Feed(1796725200000LL + 1000LL * r, Round(r));
        log.Write(round);
        for (const WatchEvent& e : round.events) {
            text += static_cast<std::size_t>(WatchEventLine(e).size());
        }
    }
    return text;
}

}  // namespace

// Resident memory after 1000 rounds against after 10: the watch keeps no history.
static void BM_WatchMemory(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        QString error;
        auto log = WatchLogWriter::Open(dir.filePath("watch.csv"), error);
        WatchTracker tracker;
        benchmark::DoNotOptimize(Feed(tracker, *log, 1, 10));
        const long after10 = ResidentKiB();
        benchmark::DoNotOptimize(Feed(tracker, *log, 11, 990));
        benchmark::DoNotOptimize(WatchSummary(tracker));
        const long after1000 = ResidentKiB();
        state.counters["rss_10_rounds_KiB"] = static_cast<double>(after10);
        state.counters["rss_1000_rounds_KiB"] = static_cast<double>(after1000);
        state.counters["growth_KiB"] = static_cast<double>(after1000 - after10);
    }
}
BENCHMARK(BM_WatchMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

namespace {

// A log of the busy system above, of at least so many bytes.
void WriteBigLog(const QString& path, qint64 bytes = 100'000'000) {
    QString error;
    auto log = WatchLogWriter::Open(path, error);
    WatchTracker tracker;
    for (int from = 1; QFileInfo(path).size() < bytes; from += 500) {
        Feed(tracker, *log, from, 500);
    }
}

// What a digest keeps: the plots' samples and marks.
double Kept(const WatchDigest& d) {
    std::size_t kept = 0;
    for (const TrendPlot& p : d.plots) {
        for (const PlotSeries& s : p.series) {
            kept += s.samples.size();
        }
        kept += p.marks.size();
    }
    return static_cast<double>(kept);
}

}  // namespace

// A 100 MB log read row by row: time and resident memory before and after.
static void BM_WatchLogRead100MB(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.csv");
    WriteBigLog(path);
    for (auto _ : state) {
        const long before = ResidentKiB();
        WatchLogReader reader(path);
        reader.Open();
        WatchLogRow row;
        long rows = 0;
        while (reader.Next(row) == WatchLogReader::Result::Row) {
            ++rows;
        }
        state.counters["rows"] = static_cast<double>(rows);
        state.counters["rss_growth_KiB"] = static_cast<double>(ResidentKiB() - before);
        state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
    }
}
BENCHMARK(BM_WatchLogRead100MB)->Iterations(1)->Unit(benchmark::kMillisecond);

// The report of a 100 MB log: both passes and the page. What the digest keeps
// is bounded by the plots' width, not by the log: a log half as long keeps
// about as much (every module changes, so the plots are as many as a report draws).
static void BM_WatchReport100MB(benchmark::State& state) {
    QTemporaryDir dir;
    const QString half = dir.filePath("half.csv");
    const QString big = dir.filePath("big.csv");
    WriteBigLog(half, 50'000'000);
    WriteBigLog(big);
    for (auto _ : state) {
        state.counters["kept_50MB"] = Kept(*DigestWatchLog(half, TrendFrame()).digest);
        const long before = ResidentKiB();
        WatchDigestRead read = DigestWatchLog(big, TrendFrame());
        state.counters["kept_100MB"] = Kept(*read.digest);
        state.counters["rss_growth_KiB"] = static_cast<double>(ResidentKiB() - before);
        ReportData report;
        report.state.modules = read.digest->lastModules;
        report.watch = std::move(read.digest);
        state.counters["plots"] = static_cast<double>(report.watch->plots.size());
        state.counters["page_MB"] = static_cast<double>(ReportXhtml(report).size()) / 1e6;
    }
}
BENCHMARK(BM_WatchReport100MB)->Iterations(1)->Unit(benchmark::kMillisecond);

// What the watch window keeps: 255 modules at a 1-second interval for 24 hours,
// every counter changing in every round (the worst case for its history), fed
// to the tracker and the window's model without a link or a window.
static void BM_WatchWindowDay(benchmark::State& state) {
    for (auto _ : state) {
        WatchTracker tracker;
        WatchModel model;
        const long before = ResidentKiB();
        std::size_t events = 0;
        for (int r = 1; r <= 86400; ++r) {
            const WatchRound round = tracker.Feed(1796725200000LL + 1000LL * r, Round(r));
            events += round.events.size();
            model.Feed(round, tracker);
        }
        std::size_t points = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            points += model.History(row).Runs().size();
        }
        benchmark::DoNotOptimize(model.TrendOf(100));
        state.counters["rounds"] = model.Rounds();
        state.counters["modules"] = model.rowCount();
        state.counters["events"] = static_cast<double>(events);
        state.counters["runs_kept"] = static_cast<double>(points);
        state.counters["rss_before_KiB"] = static_cast<double>(before);
        state.counters["rss_after_KiB"] = static_cast<double>(ResidentKiB());
    }
}
BENCHMARK(BM_WatchWindowDay)->Iterations(1)->Unit(benchmark::kSecond);

// The publisher while its broker is away for an hour of rounds at one a second:
// the busy system above, every round's events queued, the client trying a port
// where nobody listens. What waits is one value per retained topic and the newest
// events; resident memory after a minute and after the hour.
static void BM_MqttBrokerAwayHour(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench_core";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (auto _ : state) {
        MqttConfig c;
        c.host = QStringLiteral("127.0.0.1");
        {
            QTcpServer free;  // a port that was free a moment ago
            free.listen(QHostAddress::LocalHost);
            c.port = free.serverPort();
        }
        c.name = QStringLiteral("bench");
        c.discovery = true;
        MqttPublisher publisher(c);
        publisher.Start();
        WatchTracker tracker;
        std::size_t events = 0;
        long minute = 0;
        // A round per turn of the event loop, so that the client's own work runs between.
        int r = 0;
        QTimer feed;
        QObject::connect(&feed, &QTimer::timeout, [&] {
            ++r;
            const WatchRound round = tracker.Feed(1796725200000LL + 1000LL * r, Round(r));
            events += round.events.size();
            publisher.Feed(round, tracker.Modules().size());
            if (r == 60) {
                minute = ResidentKiB();
            }
            if (r == 3600) {
                feed.stop();
                QCoreApplication::quit();
            }
        });
        feed.start(0);
        QCoreApplication::exec();
        state.counters["events"] = static_cast<double>(events);
        state.counters["waiting"] = static_cast<double>(publisher.Queue().Waiting());
        state.counters["topics"] = static_cast<double>(publisher.Queue().Topics());
        state.counters["rss_minute_KiB"] = static_cast<double>(minute);
        state.counters["rss_hour_KiB"] = static_cast<double>(ResidentKiB());
    }
}
BENCHMARK(BM_MqttBrokerAwayHour)->Iterations(1)->Unit(benchmark::kMillisecond);

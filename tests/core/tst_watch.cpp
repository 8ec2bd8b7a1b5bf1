// The watch below its faces: rounds in, events, summary and log out; no link.

#include <QtTest>

#include "publish/PublishQueue.h"
#include "publish/SystemName.h"
#include "publish/WatchTopics.h"
#include "record/WatchDayLog.h"
#include "record/WatchLog.h"
#include "record/WatchLogReader.h"
#include "record/WatchText.h"
#include "watch/WatchModel.h"

using namespace quorval;

namespace {

const std::int64_t kStart =
    QDateTime(QDate(2026, 12, 8), QTime(10, 20), Qt::UTC).toMSecsSinceEpoch();

// Rounds written short, one second apart, split by '|': modules as
// ID[=C1/C2][!1][!2][vVERSION] in display order, "-" when nobody answered,
// "lost" for a round without link.
std::vector<WatchRound> Play(WatchTracker& t, const QString& script) {
    static const QRegularExpression re(R"(^(\d+)(?:=(\d+)/(\d+))?(!1)?(!2)?(?:v(\d+))?$)");
    std::vector<WatchRound> rounds;
    std::int64_t ms = kStart;
    for (const QString& round : script.split('|')) {
        ms += 1000;
        if (round.trimmed() == "lost") {
            rounds.push_back(t.FeedLinkLost(ms, "gone"));
            continue;
        }
        std::vector<ModuleState> modules;
        for (const QString& token : round.split(' ', Qt::SkipEmptyParts)) {
            const auto m = re.match(token);
            if (!m.hasMatch())
                continue;  // "-"
            ModuleState s;
            s.id = m.captured(1).toInt();
            s.side = modules.empty() ? 'G' : 'L';
            s.count1 = m.captured(2).toInt();
            s.count2 = m.captured(3).toInt();
            s.error1 = !m.captured(4).isEmpty();
            s.error2 = !m.captured(5).isEmpty();
            s.version = std::uint8_t(m.captured(6).isEmpty() ? 34 : m.captured(6).toInt());
            s.mode = 0xC5;
            modules.push_back(s);
        }
        rounds.push_back(t.Feed(ms, modules));
    }
    return rounds;
}

QString Events(const std::vector<WatchRound>& rounds) {
    QStringList out;
    for (const WatchRound& r : rounds)
        for (const WatchEvent& e : r.events)
            out << QString("r%1 %2").arg(e.round).arg(WatchEventText(e));
    return out.join("; ");
}

QString WriteFile(const QTemporaryDir& dir, const QByteArray& text,
                  const QString& name = "log.csv") {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

// A log of more than 2^31 lines goes on counting them.
static_assert(sizeof(WatchLogRow::line) == 8);

}  // namespace

class TstWatch : public QObject {
    Q_OBJECT
  private slots:
    void eventsSayWhatChangedSinceTheLastRound_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("events");
        QTest::addColumn<bool>("happened");  // exit status 2
        QTest::addColumn<QString>("summaryEnd");
        const auto row = [](const char* name, const char* script, const char* events, bool happened,
                            const char* end) {
            QTest::newRow(name) << script << events << happened << end;
        };
        row("quiet", "1 2=3/4 | 1 2=3/4", "", false, "nothing happened");
        row("rise by one", "1 2=0/5 | 1 2=0/6", "r2 module 2 CH2 counter rose 5 -> 6 (+1)", true,
            "module 2 CH2: 1 error gained, largest rise 1 in one round");
        row("an error at the start counts", "1!1 | 1",
            "r1 module 1 CH1 error; r2 module 1 CH1 ok again", true,
            "module 1 CH1: in error in 1 round");
        row("missing and back, compared with the last seen", "1 2=4/0 | 1 | 1 2=6/0",
            "r2 module 2 missing; r3 module 2 back; r3 module 2 CH1 counter rose 4 -> 6 (+2)", true,
            "module 2 CH1: 2 errors gained, largest rise 2 in one round");
        row("a fall is a reset, counted from zero", "1=40/0 | 1=3/0",
            "r2 module 1 CH1 counter fell 40 -> 3 (module restarted or counter reset)", true,
            "module 1 CH1: 3 errors gained, largest rise 3 in one round, counter fell 1 time "
            "(restart or reset)");
        row("a reset to zero alone", "1=40/0 | 1",
            "r2 module 1 CH1 counter fell 40 -> 0 "
            "(module restarted or counter reset)",
            false, "module 1 CH1: counter fell 1 time (restart or reset)");
        row("missing alone", "1 2 | 1", "r2 module 2 missing", true,
            "module 2: missing in 1 round");
        row("new only after the first round", "1 | 1 9", "r2 module 9 new", false,
            "nothing happened");
        row("another make, said once", "1v45 | 1v45",
            "r1 module 1 is a none-QUORVAL module (firmware 4.5)", true,
            "module 1: none-QUORVAL module (firmware 4.5)");
        row("nobody answers", "1 | - | -", "r2 module 1 missing; r2 no module answered", true,
            "no module answered in 2 rounds");
        row("link lost and back: nobody missing", "1 | lost | lost | 1",
            "r2 link lost: gone; r4 link back", false, "link lost 1 time, 2 rounds without link");
        row("link not back", "1 | lost", "r2 link lost: gone", false,
            "link lost 1 time, 1 round without link, not back at the end");
    }
    void eventsSayWhatChangedSinceTheLastRound() {
        QFETCH(QString, script);
        QFETCH(QString, events);
        QFETCH(bool, happened);
        QFETCH(QString, summaryEnd);
        WatchTracker t;
        QCOMPARE(Events(Play(t, script)), events);
        QCOMPARE(t.SomethingHappened(), happened);
        QCOMPARE(t.LinkUp(), !script.endsWith("lost"));
        QCOMPARE(WatchSummary(t).last(), summaryEnd);
    }

    void missingModulesKeepTheirPlaceAndFigures() {
        WatchTracker t;
        const auto rounds = Play(t, "1 2=4/0 3=0/0!2 4 | 3=0/2!2 1 | 1 2=1/0 3=0/9 4 | lost");
        QStringList order;
        for (const WatchSample& s : rounds[1].samples)
            order << QString::number(s.state.id) + (s.present ? "" : "-");
        QCOMPARE(order.join(' '), QString("3 4- 1 2-"));  // each after its neighbour
        QCOMPARE(rounds[1].samples[1].state.count1, 0);   // as last seen
        QVERIFY(rounds[3].samples.empty());
        QCOMPARE(WatchSummary(t),
                 (QStringList{"4 rounds from 2026-12-08T10:20:01.000Z to 2026-12-08T10:20:04.000Z "
                              "(3 s), 4 modules",
                              "module 2: missing in 1 round",
                              "module 2 CH1: 1 error gained, largest rise 1 in one round, counter "
                              "fell 1 time (restart or reset)",
                              "module 3 CH2: 9 errors gained, largest rise 7 in one round, in "
                              "error in 2 rounds",
                              "module 4: missing in 1 round",
                              "link lost 1 time, 1 round without link, not back at the end"}));
    }

    // The watch window's model: rows in the order first seen with their figures, the
    // rows where something happened, events newest first, a trend with its gap and marks.
    void windowModelFollowsTheRounds() {
        WatchTracker t;
        WatchModel model;
        for (const WatchRound& r : Play(t, "1 2=0/5 | 1 2=0/9 | 1 | lost | 1 2=0/12!2 3"))
            model.Feed(r, t);
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int c = 0; c < WatchModel::kColumns; ++c)
                cells << model.index(row, c).data().toString();
            rows << cells.join(' ') + " #" +
                        model.index(row, 0).data(WatchModel::StandOutRole).toString();
        }
        QCOMPARE(rows, (QStringList{"1 3.4 ok 0 0 ok 0 0 0 0 #0", "2 3.4 ok 0 0 error 12 7 4 1 #1",
                                    "3 3.4 ok 0 0 ok 0 0 0 0 #0"}));
        QCOMPARE(model.index(1, WatchModel::Ch2Status).data(WatchModel::SortRole).toInt(), 1);
        const WatchEventList& events = model.Events();
        QCOMPARE(events.rowCount(), 8);
        QCOMPARE(events.index(0).data().toString(), "2026-12-08T10:20:05.000Z link back");
        QCOMPARE(events.index(5).data().toString(), "2026-12-08T10:20:04.000Z link lost: gone");
        QCOMPARE(events.index(7).data().toString(),
                 "2026-12-08T10:20:02.000Z module 2 CH2 counter rose 5 -> 9 (+4)");

        const WatchModel::Trend trend = model.TrendOf(2);
        QCOMPARE(trend.toMs - trend.fromMs, 4000);  // the whole watch
        QStringList ch2;
        for (const PlotSample& p : trend.series[1].samples)
            ch2 << QString("%1:%2").arg((p.timeMs - kStart) / 1000).arg(p.value ? *p.value : -1);
        QCOMPARE(ch2.join(' '), "1:5 2:9 3:-1 4:-1 5:12");  // missing, then no link: one gap
        QCOMPARE(trend.marks.size(), std::size_t(7));       // its five events and the link's two
        const PlotLayout l = LayOutPlot({}, trend.fromMs, trend.toMs, trend.series, trend.marks);
        QCOMPARE(l.gaps[1].size(), std::size_t(1));
    }

    // The trend in words, for those who cannot see the plot.
    void trendSummarySaysWhatThePlotShows_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("runs");  // TICK:C1/C2, or TICK:- for no sample
        QTest::addColumn<QString>("summary");
        QTest::newRow("a rising counter")
            << 1203 << "0:0/0 600:0/3 1200:0/6 2000:0/9 2600:0/12 3400:0/15 4000:0/18 5400:0/21"
            << "Module 1203, CH2 counter 0 to 21 in 54 s, 7 rises";
        QTest::newRow("steady, then missing")
            << 5 << "0:1/2 100:- 200:1/2 300:-"
            << "Module 5, counters steady in 2 s, CH1 at 1, CH2 at 2, no answer in 2 stretches";
        QTest::newRow("a restart, both counters")
            << 7 << "100:5/1 200:9/1 300:0/1 400:2/4"
            << "Module 7, CH1 counter 5 to 2 in 3 s, 2 "
               "rises, 1 fall, CH2 counter 1 to 4 in 3 s, 1 rise";
        QTest::newRow("never answered") << 9 << "0:-"
                                        << "Module 9, no answer yet";
    }
    void trendSummarySaysWhatThePlotShows() {
        QFETCH(int, id);
        QFETCH(QString, runs);
        QFETCH(QString, summary);
        CounterHistory h;
        for (const QString& run : runs.split(' ')) {
            const QStringList at = run.split(QRegularExpression("[:/]"));
            at[1] == "-" ? h.Add(at[0].toUInt())
                         : h.Add(at[0].toUInt(), at[1].toInt(), at[2].toInt());
        }
        QCOMPARE(TrendSummary(id, h), summary);
    }

    // A day of a counter that rises every round: memory stays bounded, recent rounds keep a
    // point each, the start of the watch stays on the axis, a long gap and a rare event survive.
    void windowHistoryStaysBoundedOverADay() {
        CounterHistory h;
        constexpr std::uint32_t kRounds = 86400;
        WatchEvent missing;
        missing.kind = WatchEventKind::Missing;
        WatchEvent rose;
        rose.kind = WatchEventKind::Rose;
        for (std::uint32_t r = 0; r < kRounds; ++r) {
            const bool gone = r >= 20000 && r < 24000;
            gone ? h.Add(r * 100) : h.Add(r * 100, 0, int(r % 30000));
            h.AddMark(r * 100, r == 20000 ? missing : rose);
        }
        QVERIFY(h.Runs().size() <= CounterHistory::kMaxRuns);
        QVERIFY(h.Marks().size() <= CounterHistory::kMaxMarks);
        QCOMPARE(h.Runs().front().from, 0u);
        for (std::size_t i = h.Runs().size() - 1000; i < h.Runs().size(); ++i)
            QCOMPARE(h.Runs()[i].from, h.Runs()[i].to);
        QCOMPARE(h.Runs().back().count2, std::int16_t((kRounds - 1) % 30000));
        const auto gap = std::find_if(h.Runs().begin(), h.Runs().end(),
                                      [](const CounterHistory::Run& r) { return !r.Present(); });
        QVERIFY(gap != h.Runs().end() && gap->from <= 2000000 + 10000 &&
                gap->to >= 2400000 - 10000);
        QVERIFY(std::any_of(h.Marks().begin(), h.Marks().end(), [](const CounterHistory::Mark& m) {
            return m.kind == WatchEventKind::Missing;
        }));

        WatchEventList list;
        std::vector<WatchEvent> many(WatchEventList::kMaxEvents + 7, rose);
        many.back().kind = WatchEventKind::Missing;
        list.Add(many);
        list.Add({missing});
        QCOMPARE(list.rowCount(), int(WatchEventList::kMaxEvents));
        QCOMPARE(list.At(0).kind, WatchEventKind::Missing);
        QCOMPARE(list.At(1).kind, WatchEventKind::Rose);  // the round's own order below it
    }

    // While the broker is away the state costs one value per topic and only the newest
    // events wait; when it is back the state goes first, then the events in order. A
    // module that did not change is not published again.
    void brokerAwayKeepsTheLastStateAndTheNewestEvents() {
        WatchTracker t;
        WatchTopics topics("hall", true);
        PublishQueue q;
        q.SetRetained(Retained::Status, topics.StatusTopic(), "online");
        const int kModules = 20, kRounds = 100;
        std::vector<ModuleState> modules(kModules);
        const auto feed = [&](int round) {
            for (int i = 0; i < kModules; ++i) {
                modules[i].id = 10 + i;
                modules[i].side = i ? 'L' : 'G';
                modules[i].count2 = round;
            }
            topics.Feed(t.Feed(kStart + 1000 * round, modules), t.Modules().size(), q);
        };
        for (int r = 1; r <= kRounds; ++r)
            feed(r);
        QCOMPARE(q.Topics(), std::size_t(3 + 6 * kModules));  // status, link, round, 1 + 5 each
        QCOMPARE(q.Waiting(), q.Topics() + PublishQueue::kMaxEvents);
        const int rises = kModules * (kRounds - 1);
        QCOMPARE(q.TakeDropped(), rises - int(PublishQueue::kMaxEvents));
        QList<MqttMessage> out;
        while (const auto m = q.Next())
            out << *m;
        const auto json = [&out](int i) {
            return QJsonDocument::fromJson(out[i].payload).object();
        };
        QCOMPARE(out[0].topic, "quorval/hall/status");
        QCOMPARE(out[1].topic, "quorval/hall/link");
        QCOMPARE(json(2)["round"].toInt(), kRounds);
        QCOMPARE(out[3].topic, "quorval/hall/module/10");
        QCOMPARE(json(3)["ch2_count"].toInt(), kRounds);
        QCOMPARE(out[3 + kModules].topic,
                 "homeassistant/binary_sensor/quorval_hall_10/ch1_error/config");
        const int firstEvent = int(q.Topics());
        QVERIFY(!out[firstEvent].retain && out[firstEvent - 1].retain);
        QCOMPARE(json(firstEvent)["round"].toInt(),
                 kRounds + 1 - int(PublishQueue::kMaxEvents) / kModules);
        QCOMPARE(json(out.size() - 1)["round"].toInt(), kRounds);

        feed(kRounds);  // nothing changed: only the round
        QCOMPARE(q.Next()->topic, "quorval/hall/round");
        QVERIFY(!q.Next());
        q.ResendAll();  // connected again
        QCOMPARE(q.Waiting(), q.Topics());
    }

    void systemNameIsTheHostAndTheDevice() {
        QCOMPARE(DefaultSystemName("Cabinet3", "/dev/ttyUSB0"), "cabinet3-ttyusb0");
        QCOMPARE(DefaultSystemName("cab.plant", "/dev/serial/by-id/usb-FTDI_A 1"),
                 "cab-plant-usb-ftdi_a-1");
        QCOMPARE(DefaultSystemName("PC", "\\\\.\\COM12"), "pc-com12");
        QVERIFY(SystemNameProblem(DefaultSystemName("Ä #+/", "x y")).isEmpty());
        QCOMPARE(SystemNameFor("given", "/dev/ttyUSB0"), "given");
        QCOMPARE(SystemNameFor({}, "/dev/ttyUSB0"),
                 DefaultSystemName(QSysInfo::machineHostName(), "ttyUSB0"));
    }

    void logIsAppendedUnderOneHeaderAndReadBack() {
        QTemporaryDir dir;
        const QString path = WriteFile(dir, {});
        WatchTracker t;
        const auto rounds = Play(t, "7=1/300!2 | 9 | lost | 7=2/301v45");
        for (const WatchRound& r : rounds) {
            QString error;
            auto log = WatchLogWriter::Open(path, error);  // one watch after the other
            QVERIFY2(log && log->Write(r), qPrintable(error));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString(f.readAll()), QString(kWatchLogHeader) +
                                           "\n2026-12-08T10:20:01.000Z,1,7,1,G,3.4,C5,0,1,1,300\n"
                                           "2026-12-08T10:20:02.000Z,2,7,0,,,,,,,\n"
                                           "2026-12-08T10:20:02.000Z,2,9,1,G,3.4,C5,0,0,0,0\n"
                                           "2026-12-08T10:20:04.000Z,4,7,1,G,4.5,C5,0,2,0,301\n"
                                           "2026-12-08T10:20:04.000Z,4,9,0,,,,,,,\n");
        WatchLogReader reader(path);
        QVERIFY(reader.Open());
        WatchLogRounds grouped(reader);
        WatchTracker again;
        WatchLogRounds::Round r;
        while (grouped.Next(r))
            again.Feed(r.timeMs, r.present);
        // The log holds what the summary needs, but for the link.
        QStringList summary = WatchSummary(t);
        summary.removeLast();
        QCOMPARE(WatchSummary(again).mid(1), summary.mid(1));

        QFile other(WriteFile(dir, "time,id,count\n"));
        QString error;
        QVERIFY(!WatchLogWriter::Open(other.fileName(), error));
        QVERIFY2(error.contains("not the header of a watch log"), qPrintable(error));
    }

    // Rounds whose clock crosses midnight UTC go to two day files, each whole
    // with its header; a watch started again appends under the one header. The
    // directory reads as one log: a round split over two files joined, a bad
    // row or a day file that is no log named with its file and line.
    void dayFilesSplitAtMidnightAndReadAsOne() {
        QTemporaryDir dir;
        const std::int64_t midnight =
            QDateTime(QDate(2026, 12, 9), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        std::vector<ModuleState> modules(2);
        modules[0].id = 7;
        modules[0].side = 'G';
        modules[1].id = 9;
        modules[1].side = 'L';
        for (const std::vector<int>& seconds : {std::vector<int>{-2, -1, 0, 1}, {2, 3}}) {
            QString error;
            auto log = WatchDayLog::Open(dir.path(), 0, midnight + seconds.front() * 1000, error);
            QVERIFY2(log, qPrintable(error));
            WatchTracker t;
            for (const int s : seconds)
                QVERIFY(log->Write(t.Feed(midnight + s * 1000, modules)));
        }
        const auto lines = [&dir](const char* name) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::ReadOnly)
                       ? QString(f.readAll()).split('\n', Qt::SkipEmptyParts)
                       : QStringList();
        };
        const QStringList day1 = lines("2026-12-08.csv"), day2 = lines("2026-12-09.csv");
        QCOMPARE(day1.size(), 5);
        QCOMPARE(day2.size(), 9);
        QCOMPARE(day1.count(kWatchLogHeader) + day2.count(kWatchLogHeader), 2);
        QCOMPARE(day1[0] + day2[0], QString(kWatchLogHeader) + kWatchLogHeader);
        QVERIFY(day1[4].startsWith("2026-12-08T23:59:59.000Z,2,9,1,"));
        QVERIFY(day2[1].startsWith("2026-12-09T00:00:00.000Z,3,7,1,"));

        // The first day's last row moved to the next file, a row cut off, a day that is no log.
        WriteFile(dir, (day1.mid(0, 4).join('\n') + '\n').toLatin1(), "2026-12-08.csv");
        WriteFile(dir,
                  (QStringList{day2[0], day1[4]} + day2.mid(1) + QStringList{day2[8].left(30)})
                      .join('\n')
                      .toLatin1(),
                  "2026-12-09.csv");
        WriteFile(dir, "time,id\n", "2026-12-10.csv");
        WriteFile(dir, "not read\n", "2026-12-1.csv");
        WatchLogReader reader(dir.path());
        QVERIFY(reader.Open());
        WatchLogRounds grouped(reader);
        QStringList rounds, bad;
        for (WatchLogRounds::Round r; grouped.Next(r, [&bad](const QString& why) { bad << why; });)
            rounds << QString("%1%2:%3")
                          .arg(r.newWatch ? "|" : "")
                          .arg(r.number)
                          .arg(r.present.size() + r.missing.size());
        QCOMPARE(rounds, (QStringList{"|1:2", "2:2", "3:2", "4:2", "|1:2", "2:2"}));
        QCOMPARE(bad.size(), 2);
        QVERIFY2(bad[0].startsWith(dir.filePath("2026-12-09.csv") + ":11: "), qPrintable(bad[0]));
        QVERIFY2(bad[1].startsWith(dir.filePath("2026-12-10.csv") + ":1: no column round"),
                 qPrintable(bad[1]));
    }

    // Only files named exactly as day files with a real date go, and only those
    // older than the days kept: at the start and at the first round of a day.
    void retentionRemovesOnlyOldDayFiles() {
        QTemporaryDir dir;
        QStringList kept{"2026-02-29.csv", "2026-12-01.csv.bak", "2026-12-01.CSV", "2026-1-01.csv",
                         "notes.txt",      "2026-12-09.csv",     "2026-12-10.csv"};
        for (const QString& name : kept + QStringList{"2026-11-30.csv", "2026-12-08.csv"})
            WriteFile(dir, {}, name);
        QVERIFY(QDir(dir.path()).mkdir("2026-11-01.csv"));
        QVERIFY(QFile::link(dir.filePath("notes.txt"), dir.filePath("2026-11-02.csv")));
        kept << "2026-11-01.csv"
             << "2026-11-02.csv";
        const auto left = [&dir] {
            return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        };
        const std::int64_t noon =
            QDateTime(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
        QString error;
        auto log = WatchDayLog::Open(dir.path(), 1, noon, error);
        QVERIFY2(log, qPrintable(error));
        kept.sort();
        QCOMPARE(left(), kept);
        WatchTracker t;
        ModuleState m;
        m.id = 5;
        m.side = 'G';
        QVERIFY(log->Write(t.Feed(noon + 11 * 3600 * 1000, {m})));  // the same day: nothing goes
        QCOMPARE(left(), kept);
        QVERIFY(log->Write(t.Feed(noon + 36 * 3600 * 1000, {m})));
        kept.removeOne("2026-12-09.csv");
        kept.removeOne("2026-12-10.csv");
        kept << "2026-12-12.csv";
        kept.sort();
        QCOMPARE(left(), kept);
    }

    void logColumnsAreFoundByNameAndEveryBadRowIsNamed() {
        const QByteArray kRow = ",318,2026-12-08T10:20:03Z,3,1,R,3.4,05,0,0,0,0";
        QTemporaryDir dir;
        const QString path = WriteFile(
            dir,
            "\xEF\xBB\xBFnote,ID,time,round,present,side,version,mode,ch2_count,ch2_error,"
            "ch1_count,ch1_error\r\n"
            "\"a, b\",310,2026-12-08T10:20:01.5Z,1,1,L,3.4,c5,17,1,0,0\r\n"
            "x,40000,2026-12-08T10:20:01.5Z,1,1,L,3.4,05,0,0,0,0\n"
            "\n"
            "x,311,2026-02-29T10:20:01Z,1,1,L,3.4,05,0,0,0,0\n"
            "x,0,2026-12-08T10:20:02.000Z,2,0,,,,,,,\n"
            "x,313,2026-12-08T10:20:02.000Z,2,1,L,3.4,05,0,2,0,0\n"
            "x,314,2026-12-08T10:20:02.000Z,2,1,L,3,05,0,0,0,0\n"
            "x,315,2026-12-08T10:20:02.000Z,2,1\n"
            "x,316,2026-12-08T10:20:02.000Z,2,1,L,3.4,05,32768,0,0,0\n" +
                // A row of exactly the limit, then one a byte longer.
                QByteArray(4096 - kRow.size(), 'n') + kRow + "\r\n" +
                QByteArray(4097 - kRow.size(), 'n') + kRow +
                "\n\"open,1\n"
                "x,317,2026-12-08T10:20:03.000Z,3,1,R,25.5,FF,0,0,32767,1");
        WatchLogReader reader(path);
        QVERIFY(reader.Open());
        QStringList seen;
        WatchLogRow row;
        for (WatchLogReader::Result r; (r = reader.Next(row)) != WatchLogReader::Result::End;) {
            if (r == WatchLogReader::Result::Bad) {
                QVERIFY2(reader.Problem().startsWith(path + ":"), qPrintable(reader.Problem()));
                seen << reader.Problem().mid(int(path.size()) + 1).section(" '", 0, 0);
                continue;
            }
            const ModuleState& s = row.state;
            seen << QString("%1:%2@%3 r%4 %5 %6 v%7 m%8 %9/%10 %11/%12")
                        .arg(row.line)
                        .arg(s.id)
                        .arg(row.timeMs - kStart)
                        .arg(row.round)
                        .arg(row.present)
                        .arg(QChar(s.side ? s.side : '_'))
                        .arg(s.version)
                        .arg(s.mode)
                        .arg(s.error1)
                        .arg(s.count1)
                        .arg(s.error2)
                        .arg(s.count2);
        }
        QCOMPARE(seen, (QStringList{"2:310@1500 r1 1 L v34 m197 0/0 1/17", "3: id", "5: time",
                                    "6:0@2000 r2 0 _ v0 m0 0/0 0/0", "7: ch2_error", "8: version",
                                    "9: 5 fields where the header has 12", "10: ch2_count",
                                    "11:318@3000 r3 1 R v34 m5 0/0 0/0",
                                    "12: longer than 4096 bytes: not a row of a watch log",
                                    "13: a quoted field is not closed",
                                    "14:317@3000 r3 1 R v255 m255 1/32767 0/0"}));
    }

    void logsThatAreNoLogsAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty") << QByteArray() << ": empty, no header line";
        QTest::newRow("a column twice") << QByteArray(kWatchLogHeader) + ",ID\n"
                                        << ":1: column id twice";
    }
    void logsThatAreNoLogsAreRefusedByName() {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        WatchLogReader reader(WriteFile(dir, text));
        QVERIFY(!reader.Open());
        QVERIFY2(reader.Problem().startsWith(reader.Path() + problem),
                 qPrintable(reader.Problem()));
    }
};

QTEST_GUILESS_MAIN(TstWatch)
#include "tst_watch.moc"

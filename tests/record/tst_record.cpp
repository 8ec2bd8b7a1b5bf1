// Records of the system as a technician makes them: a snapshot at commissioning,
// a check at a later visit, a report to hand over; the simulator on a pseudo-terminal.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include "record/Snapshot.h"
#include "record/SystemCompare.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::Cli;
using Modules = std::vector<quorval::ModuleState>;
Q_DECLARE_METATYPE(Modules)
using testing_support::Run;
using testing_support::SimProcess;

namespace {

// Module 1 attached; left 2, 3; right 4, 5 (shown 5, 4).
const QByteArray kCommissioned =
    "[module 1]\nside = G\n[module 2]\nside = L\n[module 3]\nside = L\n"
    "[module 4]\nside = R\n[module 5]\nside = R\n";
// Module 3 gone, 9 new in its place, 4 at 250 kBit/s and moved past 5, a counter of 2 risen.
const QByteArray kVisited =
    "[module 1]\nside = G\n[module 2]\nside = L\nch1_count = 5\n[module 9]\nside = L\n"
    "[module 5]\nside = R\n[module 4]\nside = R\nmode = 0x06\n";

// A valid snapshot, edited by the rows of the bad-input test.
const QByteArray kGood = R"({"taken": "2026-12-08T10:20:01Z", "port": "COM1",
  "program": {"name": "quorval-cli", "version": "1.5.0"},
  "modules": [
    {"id": 100, "side": "G", "version": 34, "firmware": "3.4", "mode": 5, "status1": false,
     "errors1": 0, "status2": false, "errors2": 0},
    {"id": 205, "side": "L", "version": 33, "mode": 5, "status1": false, "errors1": 0,
     "status2": true, "errors2": 17},
    {"id": 310, "side": "R", "version": 34, "mode": 133, "status1": true, "errors1": 2,
     "status2": false, "errors2": 0}]})";

// Three rounds of modules 7, 0, 9: the counter of 7 CH2 rises and goes into
// error, 9 misses round 2, nothing happens at 0.
const QByteArray kLog =
    "time,round,id,present,side,version,mode,ch1_error,ch1_count,ch2_error,ch2_count\n"
    "2026-12-08T10:00:00.000Z,1,7,1,G,3.4,05,0,0,0,10\n"
    "2026-12-08T10:00:00.000Z,1,0,1,L,3.4,05,0,0,0,0\n"
    "2026-12-08T10:00:00.000Z,1,9,1,R,3.4,05,0,0,0,0\n"
    "2026-12-08T10:00:10.000Z,2,7,1,G,3.4,05,0,0,0,15\n"
    "2026-12-08T10:00:10.000Z,2,0,1,L,3.4,05,0,0,0,0\n"
    "2026-12-08T10:00:10.000Z,2,9,0,,,,,,,\n"
    "2026-12-08T10:00:20.000Z,3,7,1,G,3.4,05,0,0,1,15\n"
    "2026-12-08T10:00:20.000Z,3,0,1,L,3.4,05,0,0,0,0\n"
    "2026-12-08T10:00:20.000Z,3,9,1,R,3.4,05,0,0,0,0\n";

// A module of the ring that the attached one, ID 1, heads: counters, CH2 status, mode.
ModuleState M(int id, int count1 = 0, int count2 = 0, bool error2 = false, int mode = 5) {
    return {id, id == 1 ? 'G' : 'L', 34, std::uint8_t(mode), false, error2, count1, count2};
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
    }
    return f.fileName();
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a report holds, read as XML; empty problem when it is well-formed and
// refers to nothing outside itself.
struct Page {
    QString problem;
    QString title;
    QStringList modules;  // the ring's module groups, in order
    int differenceRows = 0;
    QStringList plots;    // the trend figures' IDs, with a * when they draw the counter
    QStringList inError;  // those with a bar where their channel was in error
    QStringList summary;  // the watch's, as it prints it
    QString quiet;        // the modules where nothing happened
    QString watchText;    // all text of the watch section
};

Page ReadPage(const QByteArray& html) {
    Page page;
    QXmlStreamReader xml(html);
    QStringList open;     // the elements around the reader
    QStringList classes;  // and their classes
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::EndElement) {
            open.removeLast();
            classes.removeLast();
            continue;
        }
        if (xml.tokenType() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QString name = xml.name().toString();
        const QString cls = xml.attributes().value("class").toString();
        for (const QXmlStreamAttribute& a : xml.attributes()) {
            const QString key = a.qualifiedName().toString();
            if (key.contains("href") || key == "src" || key == "srcset" || key == "action") {
                page.problem = "reference in " + key;
            }
        }
        if (QStringList{"script", "link", "img", "iframe", "object", "embed", "use", "image"}
                .contains(name)) {
            page.problem = "element " + name;
        }
        if (name == "g" && cls == "module") {
            page.modules << xml.attributes().value("id").toString();
        }
        if (name == "figure" && cls == "trend") {
            page.plots << xml.attributes().value("id").toString();
        }
        if (name == "svg" && cls == "trend" && classes.last() != "trend") {
            page.problem = "a plot outside its figure";
        }
        if ((cls.startsWith("series") || cls.startsWith("point")) && !page.plots.isEmpty() &&
            !page.plots.last().endsWith('*')) {
            page.plots.last() += '*';  // the plot draws the counter
        }
        if (cls == "in-error" && !page.plots.isEmpty() &&
            !page.inError.contains(page.plots.last())) {
            page.inError << page.plots.last();
        }
        if (name == "tr" && open.mid(open.size() - 2) == QStringList{"table", "tbody"} &&
            html.indexOf("<section id=\"differences\"") < xml.characterOffset() &&
            html.indexOf("<section id=\"differences\"") >= 0) {
            ++page.differenceRows;
        }
        if (name == "title" && open.size() == 2) {  // html/head/title
            page.title = xml.readElementText();
            continue;
        }
        if (classes.contains("watch") && (name == "p" || name == "li")) {
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            page.watchText += text + '\n';
            if (cls == "quiet") {
                page.quiet = text;
            } else if (cls == "summary") {
                page.summary << text.section("Summary: ", 1);
            } else if (classes.last() == "summary") {
                page.summary << text;
            }
            continue;
        }
        open << name;
        classes << (xml.attributes().hasAttribute("id") && name == "section"
                        ? xml.attributes().value("id").toString()
                        : cls);
    }
    if (xml.hasError()) {
        page.problem = xml.errorString();
    }
    // An HTML parser takes <td/> for an opening tag: only void and SVG elements close at once.
    if (QString(html).contains(QRegularExpression("<(?!meta|br|path|rect|circle)\\w+[^<>]*/>"))) {
        page.problem = "an element of HTML written as <x/>";
    }
    for (const char* outside : {"http", "url(", "@import", "file:"}) {
        if (html.contains(outside)) {
            page.problem = QString("text %1").arg(outside);
        }
    }
    return page;
}

}  // namespace

class TstRecord : public QObject {
    Q_OBJECT
  private slots:
    void snapshotThenCheckSeesWhatChanged() {
        QTemporaryDir dir;
        const QString base = dir.filePath("commissioned.json");
        {
            SimProcess sim({}, kCommissioned);
            QVERIFY(sim.Start());
            const Run scan = Cli({"--port", sim.LinkPath(), "scan", "--json", "--save", base});
            QCOMPARE(scan.code, 0);
            // The snapshot's records are scan --json's, with the words beside the raw values.
            const QJsonObject saved = QJsonDocument::fromJson(Read(base)).object();
            const QJsonArray listed = QJsonDocument::fromJson(scan.out.toUtf8()).array();
            QCOMPARE(listed.size(), 5);
            QCOMPARE(saved["modules"].toArray().size(), 5);
            for (int i = 0; i < 5; ++i) {
                QJsonObject record = saved["modules"][i].toObject();
                QCOMPARE(record.take("firmware").toString(), "3.4");
                QCOMPARE(record.take("configuration")["baud"].toString(), "125 KBit/s");
                QCOMPARE(record, listed[i].toObject());
            }
            QCOMPARE(saved["port"].toString(), sim.LinkPath());
            QCOMPARE(saved["program"]["name"].toString(), "quorval-cli");
            QVERIFY(QDateTime::fromString(saved["taken"].toString(), Qt::ISODate).isValid());
        }
        SimProcess sim({}, kVisited);
        QVERIFY(sim.Start());
        const Run check = Cli({"--port", sim.LinkPath(), "check", base});
        QCOMPARE(check.code, 2);
        QCOMPARE(check.out.split('\n', Qt::SkipEmptyParts),
                 (QStringList{"    3  missing (was at position 2, side L, firmware 3.4)",
                              "    4  baud rate: 125 → 250 KBit/s",
                              "    9  new (at position 2, side L, firmware 3.4)",
                              "    4  position: 4 → 3", "    2  CH1 counter: 0 → 5 (+5)",
                              "the system differs from the baseline: 4 differences; error "
                              "counters rose on 1 channel"}));
        // A file that says it is empty and never ends is read no further than a snapshot goes.
        QCOMPARE(ReadSnapshot("/proc/self/pagemap").error,
                 "/proc/self/pagemap: is larger than 64 MiB");
    }

    // The compare itself, in process: what differs, most serious first, in which words.
    void compareSaysWhatDiffersMostSeriousFirst_data() {
        QTest::addColumn<Modules>("baseline");
        QTest::addColumn<Modules>("now");
        QTest::addColumn<QStringList>("lines");  // the verdict last
        QTest::addColumn<bool>("differs");
        const Modules three{M(1), M(2), M(3)};
        QTest::newRow("counters one higher, and lower: restarted")
            << Modules{M(1, 40), M(2), M(3)} << Modules{M(1, 3), M(2, 1), M(3)}
            << QStringList{"    1  CH1 counter: 40 → 3 (module restarted or counter reset)",
                           "    2  CH1 counter: 0 → 1 (+1)",
                           "the system matches the baseline (3 modules); error counters rose "
                           "on 1 channel; error counters fell on 1 channel (module restarted "
                           "or counter reset)"}
            << false;
        QTest::newRow("the relay logic alone")
            << three << Modules{M(1, 0, 0, false, 0x15), M(2), M(3)}
            << QStringList{"    1  relay logic: CH1_Error AND CH2_Error → NOT CH1_Error AND NOT "
                           "CH2_Error",
                           "the system differs from the baseline: 1 difference"}
            << true;
        QTest::newRow("missing, in error, new, then the counters")
            << Modules{M(1), M(2, 0, 9), M(3)} << Modules{M(1), M(2, 0, 7, true), M(9)}
            << QStringList{"    3  missing (was at position 2, side L, firmware 3.4)",
                           "    2  CH2 status: ok → error",
                           "    9  new (at position 2, side L, firmware 3.4)",
                           "    2  CH2 counter: 9 → 7 (module restarted or counter reset)",
                           "the system differs from the baseline: 3 differences; error counters "
                           "fell on 1 channel (module restarted or counter reset)"}
            << true;
    }
    void compareSaysWhatDiffersMostSeriousFirst() {
        QFETCH(Modules, baseline);
        QFETCH(Modules, now);
        QFETCH(QStringList, lines);
        QFETCH(bool, differs);
        // The baseline as a check reads the list of scan --json.
        QJsonArray list;
        for (const ModuleState& m : baseline)
            list << ModuleJson(m);
        const auto read = ParseSnapshot(QJsonDocument(list).toJson(), "list");
        const std::vector<Difference> d = CompareSystems(read.snapshot.value().modules, now);
        QStringList got;
        for (const Difference& one : d)
            got << DifferenceLine(one);
        QCOMPARE(got << Verdict(d, int(now.size())), lines);
        QCOMPARE(SystemDiffers(d), differs);
        QCOMPARE(DifferenceJson(d[0]), (QJsonObject{{"module", d[0].module},
                                                    {"what", d[0].what},
                                                    {"was", d[0].was},
                                                    {"now", d[0].now}}));
    }

    void reportIsOnePageWithNothingOutside_data() {
        QTest::addColumn<bool>("fromSnapshot");
        QTest::addColumn<bool>("withBaseline");
        QTest::newRow("scan, no baseline") << false << false;
        QTest::newRow("snapshot and baseline") << true << true;
    }
    void reportIsOnePageWithNothingOutside() {
        QFETCH(bool, fromSnapshot);
        QFETCH(bool, withBaseline);
        QTemporaryDir dir;
        SimProcess sim({}, kVisited);
        const QString title = "<script>alert(1)</script> & \"Halle 3\"";
        QStringList args{"report", "--out", dir.filePath("r.html"), "--title", title};
        if (fromSnapshot) {  // with a control character and half a surrogate pair in a text
            args << "--snapshot"
                 << Write(dir, "s.json", QByteArray(kGood).replace("COM1", "COM1\\u0007\\ud800"));
        } else {
            QVERIFY(sim.Start());
            args << "--port" << sim.LinkPath();
        }
        if (withBaseline) {
            args << "--baseline"
                 << Write(dir, "b.json",
                          QByteArray(kGood).replace("\"version\": 33", "\"version\": 34"));
        }
        const Run r = Cli(args);
        QCOMPARE(r.code, 0);
        const QByteArray html = Read(dir.filePath("r.html"));
        const Page page = ReadPage(html);
        QVERIFY2(page.problem.isEmpty(), qPrintable(page.problem));
        QCOMPARE(page.title, title);
        QVERIFY(html.contains("&lt;script&gt;alert(1)&lt;/script&gt; &amp;"));
        const QStringList ring =
            fromSnapshot ? QStringList{"module-100", "module-205", "module-310"}
                         : QStringList{"module-1", "module-2", "module-9", "module-4", "module-5"};
        QCOMPARE(page.modules, ring);
        // The baseline differs in the firmware of 205; both channels in error count too.
        QCOMPARE(page.differenceRows, withBaseline ? 3 : 0);
        if (fromSnapshot) {
            QVERIFY(QString::fromUtf8(html).contains(u"COM1\uFFFD\uFFFD"));
            // A disk that fills up under the next report (a file size limit here): the
            // report before stays whole, said, and nothing is left beside it.
            const Run full = Cli(args, QProcessEnvironment::systemEnvironment(), html.size() / 2);
            QCOMPARE(full.code, 1);
            QVERIFY2(full.err.contains(dir.filePath("r.html") + ": "), qPrintable(full.err));
            QCOMPARE(Read(dir.filePath("r.html")), html);
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
        }
    }

    // A watch of a system that changes (a rising counter, a module that drops
    // out and comes back, a counter reset), then the report of its log: with a
    // scan of the system now, and from the log alone.
    void watchThenReportShowWhatChanged() {
        QTemporaryDir dir;
        SimProcess sim({},
                       "[module 1]\nside = G\nch2_rise = 5/1\nch2_error = 1\n"
                       "[module 2]\nside = L\nabsent = 2-4.5\n"
                       "[module 3]\nside = R\nch1_count = 40\nch1_reset = 3\n"
                       "[module 4]\nside = R\n");
        QVERIFY(sim.Start());
        // Appended after a row an earlier watch cut off; the name needs escaping.
        const QString log =
            Write(dir, "night & <1>.csv",
                  QByteArray(kLog).left(kLog.indexOf('\n') + 1) + "2026-12-08T10:20:01.000Z,1,5");
        const Run watch = Cli({"--port", sim.LinkPath(), "watch", "--interval", "1", "--duration",
                               "6", "--out", log});
        QCOMPARE(watch.code, 2);
        for (const char* event : {"module 1 CH2 counter rose", "module 2 missing", "module 2 back",
                                  "module 3 CH1 counter fell 40 -> 0"})
            QVERIFY2(watch.err.contains(event), qPrintable(watch.err));
        QStringList summary = watch.err.section("summary: ", 1).split('\n', Qt::SkipEmptyParts);
        summary.replaceInStrings(QRegularExpression("^  "), "");
        for (const bool alone : {false, true}) {
            const QString out = dir.filePath(alone ? "alone.html" : "scan.html");
            QStringList args{"report", "--watch", log, "--out", out};
            if (!alone) {
                args << "--port" << sim.LinkPath();
            }
            const Run r = Cli(args);
            QCOMPARE(r.code, 0);
            QCOMPARE(r.err,
                     "quorval-cli: " + log + ":2: 3 fields where the header has 11 (left out)\n");
            const QByteArray html = Read(out);
            const Page page = ReadPage(html);
            QVERIFY2(page.problem.isEmpty(), qPrintable(page.problem));
            // The summary is the watch's own; a plot per channel that changed, one for the
            // module that dropped out, and one line for the rest.
            QCOMPARE(page.summary, summary);
            QVERIFY2(
                summary.filter(QRegularExpression("^module 1 CH2: \\d+ errors gained")).size() == 1,
                qPrintable(watch.err));
            QCOMPARE(page.plots, (QStringList{"trend-1-ch2*", "trend-2*", "trend-3-ch1*"}));
            QCOMPARE(page.inError, QStringList{"trend-1-ch2"});
            QCOMPARE(page.quiet, "Nothing happened at 1 module: 4.");
            QVERIFY(html.contains("night &amp; &lt;1&gt;.csv"));
            // From the log alone, its last round is the system: all four back by then.
            QCOMPARE(page.modules, (QStringList{"module-1", "module-2", "module-4", "module-3"}));
        }
    }

    // Logs cut off, edited by hand or of several watches: what can be read is
    // reported and the rest named; a file that is no log is refused before
    // anything is written.
    void badWatchLogIsNamedOrLeftOut_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");  // after the file's name
        QTest::addColumn<QStringList>("plots");
        QTest::addColumn<QStringList>("notes");  // in the watch section
        const QStringList usual{"trend-7-ch2*", "trend-9*"};
        QTest::newRow("whole") << kLog << 0 << QString() << usual
                               << QStringList{"Nothing happened at 1 module: 0.",
                                              "10:00:10 counter rose 10 -> 15 (+5)"};
        QTest::newRow("empty") << QByteArray() << 1 << ": empty, no header line" << QStringList()
                               << QStringList();
        QTest::newRow("header alone")
            << kLog.left(kLog.indexOf('\n') + 1) << 1 << ": no round of a watch in it to report on"
            << QStringList() << QStringList();
        QTest::newRow("not a log") << QByteArray("time,id,count\n1,2,3\n") << 1
                                   << ":1: no column round" << QStringList() << QStringList();
        QTest::newRow("cut off") << kLog.left(kLog.size() - 12) << 0
                                 << ":10: 6 fields where the header has 11 (left out)" << usual
                                 << QStringList{"1 round was left out"};
        // Round 2 without a row of module 0 is left out whole: 9 was never seen missing.
        QTest::newRow("an ID outside 0..32000")
            << QByteArray(kLog).replace("10.000Z,2,0,", "10.000Z,2,40000,") << 0
            << ":6: id '40000' is not a module ID from 0 to 32000 (left out)"
            << QStringList{"trend-7-ch2*"} << QStringList{"1 round was left out"};
        QTest::newRow("a round earlier than the one before")
            << QByteArray(kLog).replace("10:00:10.000Z,2,", "09:59:50.000Z,2,") << 0 << QString()
            << QStringList{"trend-7-ch2*"} << QStringList{"1 round was left out"};
        QByteArray reordered;
        for (const QByteArray& line : kLog.split('\n')) {
            const QList<QByteArray> f = line.split(',');
            if (f.size() == 11) {
                reordered += "x," + f[10] + ',' + f[2] + ',' + f[0] + ',' + f[1] + ',' + f[3] +
                             ',' + f[4] + ',' + f[5] + ',' + f[6] + ',' + f[7] + ',' + f[8] + ',' +
                             f[9] + '\n';
            }
        }
        QTest::newRow("columns in another order, and one more")
            << reordered.replace("x,ch2_count", "note,CH2_COUNT") << 0 << QString() << usual
            << QStringList{"10:00:20 error"};
        QTest::newRow("two watches")
            << kLog +
                   "2026-12-09T10:00:00.000Z,1,8,1,L,3.4,05,0,3,0,0\n"
                   "2026-12-09T10:00:10.000Z,2,8,1,L,3.4,05,0,5,0,0\n"
            << 0 << QString() << QStringList{"trend-8-ch1*"}
            << QStringList{
                   "It holds 2 watches, one appended to the other: this is the last; the 1 "
                   "watch before it (2026-12-08T10:00:00.000Z "
                   "to 2026-12-08T10:00:20.000Z) is not",
                   "10:00:10 counter rose 3 -> 5 (+2)"};
    }
    void badWatchLogIsNamedOrLeftOut() {
        QFETCH(QByteArray, log);
        QFETCH(int, code);
        QFETCH(QString, err);
        QFETCH(QStringList, plots);
        QFETCH(QStringList, notes);
        QTemporaryDir dir;
        const QString file = Write(dir, "watch.csv", log);
        const QString out = Write(dir, "out.html", "kept");
        const Run r = Cli({"report", "--watch", file, "--out", out, "--title", "<b>"});
        QCOMPARE(r.code, code);
        QCOMPARE(r.err.isEmpty(), err.isEmpty());
        QVERIFY2(err.isEmpty() || r.err.startsWith("quorval-cli: " + file + err),
                 qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);  // no temporary file left
        if (code != 0) {
            QCOMPARE(Read(out), "kept");
            return;
        }
        const Page page = ReadPage(Read(out));
        QVERIFY2(page.problem.isEmpty(), qPrintable(page.problem));
        QCOMPARE(page.plots, plots);
        for (const QString& note : notes)
            QVERIFY2(page.watchText.contains(note), qPrintable(page.watchText));
    }

    void badSnapshotIsRefusedWithItsPlace_data() {
        QTest::addColumn<QByteArray>("from");  // replaced in kGood; empty: a file of `to` alone
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QByteArray& from, const QByteArray& to,
                            const char* message) { QTest::newRow(name) << from << to << message; };
        row("truncated", "]}", "", ":9:37: not JSON: unterminated array");
        row("empty", "", "", ": the file is empty");
        row("a text for a number", "\"version\": 33", "\"version\": \"3.3\"",
            ": modules[1].version: must be a whole number from 0 to 255, not \"3.3\"");
        row("ID past the end", "\"id\": 310", "\"id\": 32001",
            ": modules[2].id: must be a whole number from 0 to 32000, not 32001");
        row("ID twice", "\"id\": 310", "\"id\": 100",
            ": modules[2].id: 100 is listed twice (also modules[0])");
        row("side", "\"side\": \"R\"", "\"side\": \"r\"",
            ": modules[2].side: must be \"G\", \"L\" or \"R\"");
        row("key missing", ", \"errors2\": 17", "", ": modules[1].errors2: missing");
        row("words edited", "\"firmware\": \"3.4\"", "\"firmware\": \"3.5\"",
            ": modules[0].firmware: \"3.5\" does not match version 34 (3.4)");
        row("date", "2026-12-08T10:20:01Z", "yesterday", ": taken: must be a date and time");
        row("list of scan --json", "",
            "[{\"id\": 1, \"side\": \"G\", \"version\": 34, \"mode\": 5, "
            "\"status1\": 0, \"status2\": false, \"errors1\": 0, \"errors2\": 0}]",
            ": [0].status1: must be true or false, not 0");
    }
    void badSnapshotIsRefusedWithItsPlace() {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file =
            Write(dir, "bad.json", from.isEmpty() ? to : QByteArray(kGood).replace(from, to));
        const QString out = Write(dir, "out.html", "kept");
        // Read before anything is sent: a port that is not there is never reached.
        for (const QStringList& args :
             {QStringList{"report", "--snapshot", file, "--out", out},
              QStringList{"--port", "/nonexistent/tty", "report", "--out", out, "--baseline", file},
              QStringList{"--port", "/nonexistent/tty", "check", file}}) {
            const Run r = Cli(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.startsWith("quorval-cli: " + file + message), qPrintable(r.err));
        }
        QCOMPARE(Read(out), "kept");  // and no temporary file beside it
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TstRecord)
#include "tst_record.moc"

// Records of the system as a technician makes them: a snapshot at commissioning,
// a check at a later visit, a report to hand over; the simulator on a pseudo-terminal.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include "support/SimProcess.h"

using testing_support::Cli;
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
};

Page ReadPage(const QByteArray& html) {
    Page page;
    QXmlStreamReader xml(html);
    QStringList open;  // the elements around the reader
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::EndElement) {
            open.removeLast();
            continue;
        }
        if (xml.tokenType() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QString name = xml.name().toString();
        open << name;
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
        const QString cls = xml.attributes().value("class").toString();
        if (name == "g" && cls == "module") {
            page.modules << xml.attributes().value("id").toString();
        }
        if (name == "tr" && open.mid(open.size() - 3, 2) == QStringList{"table", "tbody"} &&
            html.indexOf("<section id=\"differences\"") < xml.characterOffset() &&
            html.indexOf("<section id=\"differences\"") >= 0) {
            ++page.differenceRows;
        }
        if (name == "title" && open.size() == 3) {  // html/head/title
            page.title = xml.readElementText();
            open.removeLast();
        }
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
        const QJsonArray json =
            QJsonDocument::fromJson(
                Cli({"--port", sim.LinkPath(), "check", base, "--json"}).out.toUtf8())
                .array();
        QCOMPARE(json.size(), 5);
        QCOMPARE(json[1].toObject(), (QJsonObject{{"module", 4},
                                                  {"what", "baud rate"},
                                                  {"was", "125 KBit/s"},
                                                  {"now", "250 KBit/s"}}));

        // Against its own scan --json with a counter set back, only the counter differs: 0.
        const Run now = Cli({"--port", sim.LinkPath(), "scan", "--json"});
        const QString list =
            Write(dir, "now.json", now.out.toUtf8().replace("\"errors1\": 5", "\"errors1\": 1"));
        const Run same = Cli({"--port", sim.LinkPath(), "check", list});
        QCOMPARE(same.code, 0);
        QCOMPARE(same.out.split('\n', Qt::SkipEmptyParts),
                 (QStringList{"    2  CH1 counter: 1 → 5 (+4)",
                              "the system matches the baseline (5 modules); error counters rose "
                              "on 1 channel"}));
        // The relay logic alone differs: 2.
        const Run relay = Cli(
            {"--port", sim.LinkPath(), "check",
             Write(dir, "relay.json", now.out.toUtf8().replace("\"mode\": 5,", "\"mode\": 21,"))});
        QCOMPARE(relay.code, 2);
        QVERIFY2(relay.out.startsWith("    1  relay logic: NOT CH1_Error AND NOT CH2_Error → "
                                      "CH1_Error AND CH2_Error\n"),
                 qPrintable(relay.out));
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
        if (fromSnapshot) {
            args << "--snapshot" << Write(dir, "s.json", kGood);
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

#include <QtTest>

#include <sys/stat.h>

#include <QFileInfo>

#include "sim/SimProtocol.h"
#include "sim/SimSystem.h"
#include "support/FrameVectors.h"
#include "support/RawTerminal.h"
#include "support/SimProcess.h"

using namespace lwlsim;
using testing_support::RawTerminal;
using testing_support::SimProcess;

namespace {

// "<fifo>" and "<dir>" stand for a FIFO and a directory in place of the file.
SimSystem LoadText(const QByteArray& text, std::string* error = nullptr) {
    QTemporaryDir dir;
    QFile f(dir.filePath("s.ini"));
    if (text == "<fifo>")
        ::mkfifo(QFile::encodeName(f.fileName()).constData(), 0600);
    else if (text == "<dir>")
        QDir().mkdir(f.fileName());
    else if (f.open(QIODevice::WriteOnly))
        f.write(text);
    f.close();
    std::string err;
    auto s = SimSystem::Load(f.fileName().toStdString(), err);
    if (error)
        *error = err;
    return s ? *s : SimSystem{};
}

std::vector<std::uint8_t> Cmd(char letter, int id = 0, int mode = 0) {
    return {static_cast<std::uint8_t>(letter),
            static_cast<std::uint8_t>(id & 0xFF),
            static_cast<std::uint8_t>(id >> 8),
            static_cast<std::uint8_t>(mode),
            0x0A,
            0x0D,
            0x00};
}

// All bytes the simulator answers to the given input, in order.
std::vector<std::uint8_t> Answer(Simulator& sim, const std::vector<std::uint8_t>& in) {
    const auto out = sim.Feed(in.data(), in.size());
    std::vector<std::uint8_t> bytes;
    for (const auto& c : out.chunks)
        bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
    return bytes;
}

// Letters and IDs of consecutive 11-byte answers.
QList<QPair<char, int>> Frames(const std::vector<std::uint8_t>& bytes) {
    QList<QPair<char, int>> out;
    for (std::size_t i = 0; i + 11 <= bytes.size(); i += 11) {
        out << qMakePair(char(bytes[i]), bytes[i + 1] | (bytes[i + 2] << 8));
    }
    return out;
}

const QByteArray kRing =
    "[module 10]\nside = G\n"
    "[module 21]\nside = L\n"
    "[module 31]\nside = R\n"
    "[module 22]\nside = L\n"
    "[module 23]\nside = L\n"
    "[module 32]\nside = R\nanswers = 0\n";

}  // namespace

class TstSimulator : public QObject {
    Q_OBJECT
  private slots:
    void scanAnswersAttachedFirstThenByDistance() {
        Simulator sim(LoadText(kRing));
        const auto bytes = Answer(sim, Cmd('G'));
        QCOMPARE(bytes.size(), std::size_t(5 * 11));
        const QList<QPair<char, int>> expected{
            {'G', 10}, {'L', 21}, {'R', 31}, {'L', 22}, {'L', 23}};  // 32 is silent
        QCOMPARE(Frames(bytes), expected);
    }

    void queryIsAnsweredWithLetterP() {
        Simulator sim(LoadText(kRing));
        QCOMPARE(Frames(Answer(sim, Cmd('P', 22))), (QList<QPair<char, int>>{{'P', 22}}));
        QVERIFY(Answer(sim, Cmd('P', 32)).empty());   // silent module
        QVERIFY(Answer(sim, Cmd('P', 999)).empty());  // no such module
        QVERIFY(Answer(sim, Cmd('X', 22)).empty());   // unknown letter
    }

    void setAndWriteChangeTheModeWithoutAnswer() {
        QTemporaryDir dir;
        const std::string eeprom = dir.filePath("eeprom.ini").toStdString();
        {
            Simulator sim(LoadText(kRing), eeprom);
            QVERIFY(Answer(sim, Cmd('S', 21, 0x35)).empty());
            QVERIFY(Answer(sim, Cmd('W', 31, 0xC7)).empty());
            QCOMPARE(int(Answer(sim, Cmd('P', 21))[4]), 0x35);
            QCOMPARE(int(Answer(sim, Cmd('P', 31))[4]), 0xC7);
        }
        // A restart keeps what "W" wrote, not what "S" set.
        SimSystem restarted = LoadText(kRing);
        std::string error;
        QVERIFY(restarted.LoadEeprom(eeprom, error));
        Simulator sim(restarted, eeprom);
        QCOMPARE(int(Answer(sim, Cmd('P', 21))[4]), 0x05);
        QCOMPARE(int(Answer(sim, Cmd('P', 31))[4]), 0xC7);
    }

    void faultsShapeTheAnswer() {
        Simulator sim(
            LoadText("[module 1]\nside = G\nnoise = 00 44 FF\n"
                     "[module 2]\nside = L\ncorrupt = 9\ncorrupt_value = 0x55\n"
                     "[module 3]\nside = R\nsplit = 4\nsplit_ms = 150\n"));
        const auto g = Cmd('G');
        const auto out = sim.Feed(g.data(), g.size());
        QCOMPARE(out.chunks.size(), std::size_t(5));
        QCOMPARE(out.chunks[0].bytes, (std::vector<std::uint8_t>{0x00, 0x44, 0xFF}));
        QCOMPARE(int(out.chunks[1].bytes[0]), int('G'));
        QCOMPARE(out.chunks[1].pauseBeforeMs, 0);  // noise took the turnaround
        QCOMPARE(int(out.chunks[2].bytes[9]), 0x55);
        QCOMPARE(out.chunks[3].bytes.size(), std::size_t(4));
        QCOMPARE(out.chunks[4].bytes.size(), std::size_t(7));
        QCOMPARE(out.chunks[4].pauseBeforeMs, 150);
        QVERIFY(out.chunks[3].logHex.empty());  // a split frame is logged once, whole
        QCOMPARE(QString::fromStdString(out.chunks[4].logHex).count(' '), 10);
    }

    void defaultSystemIsSixModulesWithOneFault() {
        const SimSystem s = SimSystem::Default();
        QCOMPARE(s.modules.size(), std::size_t(6));
        int attached = 0, faulty = 0;
        for (const auto& m : s.modules) {
            attached += m.side == 'G';
            faulty += m.ch1Error || m.ch2Error;
            QCOMPARE(int(m.version), 34);
            QCOMPARE(int(m.mode), 0x05);
        }
        QCOMPARE(attached, 1);
        QCOMPARE(faulty, 1);
    }

    void badSystemFilesAreRefusedWithAReason_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");  // 0: the file as a whole
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const QByteArray& text, int line, const char* why) {
            QTest::newRow(name) << text << line << QString(why);
        };
        row("no attached module", "[module 1]\nside = L\n", 0, "side = G");
        row("two attached", "[module 1]\nside=G\n[module 2]\nside=G\n", 4, "side = G");
        row("version too big", "[module 1]\nside = G\nversion = 300\n", 3, "version");
        row("trailing junk", "[module 1]\nside = G\nmode = 5x ; x\n", 3, "'5x'");
        row("bad side", "[module 1]\nside = Q\n", 2, "side");
        row("typo key", "[module 1]\nside = G\nversoin = 3\n", 3, "versoin");
        row("not a key line", "[module 1]\nside = G\nanswers 0\n", 3, "answers 0");
        row("bad section", "[modul 1]\nside = G\n", 1, "modul 1");
        row("ID 32001", "\n[module 32001]\nside = G\n", 2, "32000");
        row("duplicate section", "[module 1]\nside=G\n[ MODULE  01 ]\nside=L\n", 3, "twice");
        row("duplicate key", "[module 1]\nside=G\nmode=1\n; again\nMode = 2\n", 5, "twice");
        row("noise not hex", "[module 1]\nside=G\nnoise = zz\n", 3, "noise");
        row("counter too big", "[module 1]\nside=G\nch1_count = 32768\n", 3, "ch1_count");
        row("query letter G", "[system]\nquery_letter = G\n[module 1]\nside=G\n", 2,
            "query_letter");
        row("directory", "<dir>", 0, "not a regular file");
        row("FIFO", "<fifo>", 0, "not a regular file");
    }
    void badSystemFilesAreRefusedWithAReason() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        std::string error;
        const SimSystem s = LoadText(text, &error);
        QVERIFY(s.modules.empty());
        const QString where = line ? QString("/s.ini:%1: ").arg(line) : QString("/s.ini: ");
        QVERIFY2(QString::fromStdString(error).contains(where), error.c_str());
        QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
    }

    void valuesAreReadAsWritten() {
        std::string error;
        SimSystem s = LoadText(
            "\xEF\xBB\xBF[system]\r\nturnaround_ms = 7\r\nhangup_after_tx = 3\r\n"
            "[module 32000]   ; the far end\r\nside = g\r\nversion = 0x21  ; 2.1\r\n"
            "mode = 200\r\nch1_error = 1\r\nch2_count = 0x7FFF\r\n",
            &error);
        QVERIFY2(error.empty(), error.c_str());
        QCOMPARE(s.turnaroundMs, 7);
        QCOMPARE(s.hangupAfterTx, 3);
        QCOMPARE(s.modules.size(), std::size_t(1));
        const SimModule& m = s.modules[0];
        QCOMPARE(int(m.id), 32000);
        QCOMPARE(m.side, 'G');
        QCOMPARE(int(m.version), 0x21);
        QCOMPARE(int(m.mode), 200);
        QVERIFY(m.ch1Error);
        QVERIFY(!m.ch2Error);
        QCOMPARE(int(m.ch2Count), 32767);
    }

    // --- the executable on a real pseudo-terminal ---

    void pacedScanTakesLineTimeAndArrivesInPieces() {
        QByteArray ini = "[module 1]\nside = G\n";
        for (int i = 2; i <= 16; ++i)
            ini += "[module " + QByteArray::number(i) + "]\nside = L\n";
        SimProcess sim({}, ini);
        QVERIFY(sim.Start());
        RawTerminal term(sim.LinkPath().toStdString());
        QVERIFY(term.Ok());
        QVERIFY(term.Write(Cmd('G')));
        const auto a = term.Read(16 * 11, 10000);
        QCOMPARE(a.bytes.size(), std::size_t(16 * 11));
        // 176 bytes at 9600 baud need at least 176 * 1.04 ms on the line.
        const double spread = a.ms.back() - a.ms.front();
        QVERIFY2(spread >= 170.0, qPrintable(QString::number(spread)));
        QCOMPARE(Frames(a.bytes).size(), 16);
    }

    void garbageBeforeACommandIsSkipped() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        RawTerminal term(sim.LinkPath().toStdString());
        auto bytes = std::vector<std::uint8_t>{0xFF, 0x0A, 0x0D, 0x00, 0x47};
        const auto p = Cmd('P', 205);
        bytes.insert(bytes.end(), p.begin(), p.end());
        QVERIFY(term.Write(bytes));
        const auto a = term.Read(11, 10000);
        QCOMPARE(Frames(a.bytes), (QList<QPair<char, int>>{{'P', 205}}));
    }

    void logHasOneLinePerFrame() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/frames.log"},
                       "[module 300]\nside = G\nversion = 7\nmode = 0\n");
        QVERIFY(sim.Start());
        RawTerminal term(sim.LinkPath().toStdString());
        QVERIFY(term.Write(Cmd('P', 300)));
        QCOMPARE(term.Read(11, 10000).bytes.size(), std::size_t(11));
        QStringList lines;
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                QFile f(sim.FilePath("frames.log"));
                f.open(QIODevice::ReadOnly);
                lines = QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
                return lines.size();
            }(),
            2, 10000);
        QVERIFY(QRegularExpression("^\\d+ rx 50 2C 01 00 0A 0D 00$").match(lines[0]).hasMatch());
        QVERIFY(QRegularExpression("^\\d+ tx 50 2C 01 07 00 00 00 00 00 0A 0D$")
                    .match(lines[1])
                    .hasMatch());
    }

    void endingTakesTheLinkAlong_data() {
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<char>("queryLetter");
        QTest::addColumn<bool>("hangup");  // else stopped with SIGTERM after the query
        QTest::addColumn<int>("sent");     // answer frames before the end
        const QByteArray modules = "[module 1]\nside = G\n[module 2]\nside = L\n";
        QTest::newRow("SIGTERM") << modules << 'P' << false << 1;
        QTest::newRow("hangup after 2 frames received")
            << "[system]\nhangup_after_rx = 2\n" + modules << 'P' << true << 1;
        QTest::newRow("hangup after 2 frames sent, query answered with Q")
            << "[system]\nhangup_after_tx = 2\nquery_letter = Q\n" + modules << 'Q' << true << 2;
    }
    void endingTakesTheLinkAlong() {
        QFETCH(QByteArray, system);
        QFETCH(char, queryLetter);
        QFETCH(bool, hangup);
        QFETCH(int, sent);
        SimProcess sim({"--no-pacing", "--log", "{dir}/frames.log"}, system);
        QVERIFY(sim.Start());
        RawTerminal term(sim.LinkPath().toStdString());
        QVERIFY(term.Write(Cmd('P', 2)));
        const auto a = term.Read(11, 10000);
        QCOMPARE(Frames(a.bytes), (QList<QPair<char, int>>{{queryLetter, 2}}));
        if (hangup)
            QVERIFY(term.Write(Cmd('G')));  // two modules answer; the line goes first
        else
            sim.Process().terminate();
        QVERIFY(sim.Process().waitForFinished(10000));
        QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.Process().exitCode(), 0);
        QCOMPARE(sim.Process().readAllStandardOutput(), QByteArray(hangup ? "hangup\n" : ""));
        QVERIFY(!QFileInfo(sim.LinkPath()).isSymLink());
        QCOMPARE(sim.LoggedFrames("frames.log", "rx").size(), hangup ? 2 : 1);
        QCOMPARE(sim.LoggedFrames("frames.log", "tx").size(), sent);
    }

    void badUsageExitsWith2_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("system");
        QTest::newRow("bad system file") << QStringList() << QByteArray("[module 1]\nside = R\n");
        QTest::newRow("directory as system file")
            << QStringList{"--system", "{dir}"} << QByteArray();
    }
    void badUsageExitsWith2() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, system);
        SimProcess sim(QStringList{"--no-pacing"} + args, system);
        QVERIFY(!sim.Start());
        QVERIFY(sim.Process().state() == QProcess::NotRunning ||
                sim.Process().waitForFinished(10000));
        QCOMPARE(sim.Process().exitCode(), 2);
        QVERIFY(!QFileInfo(sim.LinkPath()).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TstSimulator)
#include "tst_simulator.moc"

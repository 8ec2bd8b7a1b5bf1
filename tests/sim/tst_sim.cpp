// The simulator: its system files, its EEPROM file and its start. Its answers on
// a pseudo-terminal are seen by every suite that talks to it.

#include <QtTest>

#include <sys/stat.h>

#include <QFileInfo>

#include "sim/SimProtocol.h"
#include "sim/SimSystem.h"
#include "support/SimProcess.h"

using namespace lwlsim;
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

// Feeds command frames written in hex; what comes back is not looked at.
void Feed(Simulator& sim, const char* hex) {
    const QByteArray in = QByteArray::fromHex(hex);
    sim.Feed(reinterpret_cast<const std::uint8_t*>(in.constData()), std::size_t(in.size()));
}

}  // namespace

class TstSim : public QObject {
    Q_OBJECT
  private slots:
    void onlyWhatWWroteSurvivesARestart() {
        QTemporaryDir dir;
        const std::string eeprom = dir.filePath("eeprom.ini").toStdString();
        const QByteArray ini = "[module 10]\nside = G\n[module 21]\nside = L\n";
        Simulator sim(LoadText(ini), eeprom);
        Feed(sim, "53150035 0A0D00 570A00C7 0A0D00");  // S to 21, W to 10
        QCOMPARE(int(sim.System().modules[1].mode), 0x35);
        SimSystem again = LoadText(ini);
        std::string error;
        QVERIFY(again.LoadEeprom(eeprom, error));
        QCOMPARE(int(again.Find(21)->mode), 0x05);
        QCOMPARE(int(again.Find(10)->mode), 0xC7);
    }

    void systemFilesAreReadAsWrittenOrRefusedWithFileAndLine_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");  // 0: the file as a whole
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const QByteArray& text, int line, const char* why) {
            QTest::newRow(name) << text << line << QString(why);
        };
        row("two attached", "[module 1]\nside=G\n[module 2]\nside=G\n", 4, "side = G");
        row("ID 32001", "\n[module 32001]\nside = G\n", 2, "32000");
        row("duplicate section", "[module 1]\nside=G\n[ MODULE  01 ]\nside=L\n", 3, "twice");
        row("duplicate key", "[module 1]\nside=G\nmode=1\n; again\nMode = 2\n", 5, "twice");
        row("directory", "<dir>", 0, "not a regular file");
        row("FIFO", "<fifo>", 0, "not a regular file");
        row("rise without its period", "[module 1]\nside=G\nch2_rise = 5\n", 3, "STEP/SECONDS");
        row("absent backwards", "[module 1]\nside=G\n\nabsent = 4-2.5\n", 4, "FROM-TO");
    }
    void systemFilesAreReadAsWrittenOrRefusedWithFileAndLine() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        std::string error;
        QVERIFY(LoadText(text, &error).modules.empty());
        const QString where = line ? QString("/s.ini:%1: ").arg(line) : QString("/s.ini: ");
        QVERIFY2(QString::fromStdString(error).contains(where), error.c_str());
        QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());

        const SimSystem s = LoadText(
            "\xEF\xBB\xBF[system]\r\nturnaround_ms = 7\r\n"
            "[module 32000]   ; the far end\r\nside = g\r\nversion = 0x21  ; 2.1\r\n"
            "ch2_count = 0x7FFF\r\n",
            &error);
        QVERIFY2(error.empty(), error.c_str());
        QCOMPARE(s.turnaroundMs, 7);
        QCOMPARE(int(s.modules.at(0).id), 32000);
        QCOMPARE(s.modules[0].side, 'G');
        QCOMPARE(int(s.modules[0].version), 0x21);
        QCOMPARE(int(s.modules[0].ch2Count), 32767);
    }

    void countersAndAbsenceFollowTheClock() {
        Simulator sim(
            LoadText("[module 1]\nside = G\nch1_count = 9\nch1_reset = 4\n"
                     "ch2_rise = 5/1.5\n[module 2]\nside = L\nabsent = 2-3\n"));
        double now = 0;
        sim.SetClock([&now] { return now; });
        QStringList seen;
        for (const double t : {0.0, 1.6, 2.5, 3.0, 4.0, 5.0}) {
            now = t;
            const QByteArray g = QByteArray::fromHex("470000000A0D00");
            QByteArray out;
            for (const Chunk& c : sim.Feed(reinterpret_cast<const std::uint8_t*>(g.constData()),
                                           std::size_t(g.size()))
                                      .chunks)
                out.append(reinterpret_cast<const char*>(c.bytes.data()),
                           qsizetype(c.bytes.size()));
            QStringList answers;
            for (int i = 0; i + 11 <= out.size(); i += 11)  // id: CH1 counter / CH2 counter
                answers << QString("%1:%2/%3")
                               .arg(quint8(out[i + 1]))
                               .arg(quint8(out[i + 7]))
                               .arg(quint8(out[i + 5]));
            seen << answers.join(' ');
        }
        QCOMPARE(seen, (QStringList{"1:9/0 2:0/0", "1:9/5 2:0/0", "1:9/5", "1:9/10 2:0/0",
                                    "1:0/10 2:0/0", "1:0/15 2:0/0"}));
    }

    void badStartExitsWith2AndLeavesNoLink_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("system");
        QTest::newRow("bad system file") << QStringList() << QByteArray("[module 1]\nside = R\n");
        QTest::newRow("unknown option") << QStringList{"--fast"} << QByteArray();
    }
    void badStartExitsWith2AndLeavesNoLink() {
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

QTEST_GUILESS_MAIN(TstSim)
#include "tst_sim.moc"

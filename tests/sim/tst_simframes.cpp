#include <QtTest>

#include "sim/SimFrames.h"
#include "support/FrameVectors.h"

using namespace lwlsim;

namespace {

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

template <std::size_t N>
std::vector<std::uint8_t> V(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

std::vector<Command> ScanAll(const std::vector<std::uint8_t>& bytes,
                             std::size_t* dropped = nullptr) {
    CommandScanner s;
    std::vector<Command> out;
    for (auto b : bytes) {
        s.Push(b);
        while (auto c = s.Next())
            out.push_back(*c);
    }
    if (dropped)
        *dropped = s.DroppedBytes();
    return out;
}

}  // namespace

class TstSimFrames : public QObject {
    Q_OBJECT
  private slots:
    void reportsEncodeToTheHandWrittenBytes() {
        Report l;
        l.letter = 'L';
        l.id = 5;
        l.version = 12;
        l.mode = 0x85;
        l.ch1Error = true;
        l.ch1Count = 3;
        QVERIFY(EncodeReport(l) == vectors::kLeft5);

        Report g;
        g.letter = 'G';
        g.id = 32000;
        g.version = 34;
        g.mode = 0xC6;
        g.ch2Error = true;
        g.ch2Count = 32767;
        g.ch1Count = 258;
        QVERIFY(EncodeReport(g) == vectors::kAttached32000);

        Report p;
        p.letter = 'P';
        p.id = 300;
        p.version = 7;
        QVERIFY(EncodeReport(p) == vectors::kQueried300);
    }

    void commandsDecodeFromTheHandWrittenBytes() {
        const auto cmds = ScanAll(Cat({V(vectors::kScan), V(vectors::kQuery1234),
                                       V(vectors::kSet1234), V(vectors::kWrite1234)}));
        QCOMPARE(cmds.size(), std::size_t(4));
        QCOMPARE(int(cmds[0].letter), int('G'));
        QCOMPARE(int(cmds[1].letter), int('P'));
        QCOMPARE(int(cmds[1].id), 0x1234);
        QCOMPARE(int(cmds[2].letter), int('S'));
        QCOMPARE(int(cmds[2].id), 0x1234);
        QCOMPARE(int(cmds[2].mode), 0x99);
        QCOMPARE(int(cmds[3].letter), int('W'));
    }

    void scannerResynchronisesAfterGarbage_data() {
        QTest::addColumn<QByteArray>("garbage");
        QTest::addColumn<int>("dropped");
        QTest::newRow("none") << QByteArray() << 0;
        QTest::newRow("one byte") << QByteArray::fromHex("FF") << 1;
        QTest::newRow("looks like a terminator") << QByteArray::fromHex("0A0D00") << 3;
        QTest::newRow("half a frame") << QByteArray::fromHex("47000000") << 4;
        QTest::newRow("lower-case letter frame") << QByteArray::fromHex("670000000A0D00") << 7;
        QTest::newRow("long noise") << QByteArray(40, '\x55') << 40;
    }
    void scannerResynchronisesAfterGarbage() {
        QFETCH(QByteArray, garbage);
        QFETCH(int, dropped);
        std::vector<std::uint8_t> bytes(garbage.begin(), garbage.end());
        bytes = Cat({bytes, V(vectors::kQuery1234)});
        std::size_t lost = 0;
        const auto cmds = ScanAll(bytes, &lost);
        QCOMPARE(cmds.size(), std::size_t(1));
        QCOMPARE(int(cmds[0].letter), int('P'));
        QCOMPARE(int(cmds[0].id), 0x1234);
        QCOMPARE(int(lost), dropped);
    }

    void partialCommandWaitsForTheRest() {
        CommandScanner s;
        for (std::size_t i = 0; i < 6; ++i)
            s.Push(vectors::kScan[i]);
        QVERIFY(!s.Next());
        s.Push(vectors::kScan[6]);
        const auto c = s.Next();
        QVERIFY(c);
        QCOMPARE(int(c->letter), int('G'));
        QCOMPARE(s.DroppedBytes(), std::size_t(0));
    }
};

QTEST_APPLESS_MAIN(TstSimFrames)
#include "tst_simframes.moc"

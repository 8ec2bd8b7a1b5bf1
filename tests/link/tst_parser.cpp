#include <QtTest>

#include <random>

#include "common/Global.h"
#include "link/ModuleLink.h"
#include "support/FakeComm.h"
#include "support/FrameVectors.h"

using namespace quorval;
using testing_support::FakeComm;

namespace {

QByteArray Frame(char letter, int id, int version = 34, int mode = 0x05, bool e1 = false,
                 int c1 = 0, bool e2 = false, int c2 = 0) {
    QByteArray f;
    f.append(letter);
    f.append(char(id & 0xFF));
    f.append(char((id >> 8) & 0xFF));
    f.append(char(version));
    f.append(char(mode));
    f.append(char(c2 & 0xFF));
    f.append(char(((c2 >> 8) & 0x7F) | (e2 ? 0x80 : 0)));
    f.append(char(c1 & 0xFF));
    f.append(char(((c1 >> 8) & 0x7F) | (e1 ? 0x80 : 0)));
    f.append("\x0A\x0D", 2);
    return f;
}

struct Rig {
    Global g;
    FakeComm* port = nullptr;
    std::unique_ptr<ModuleLink> link;
    QStringList debug;
    QList<std::uint8_t> attachedModes;
    float now = 1000.0f;

    Rig() {
        auto p = std::make_unique<FakeComm>();
        port = p.get();
        link = std::make_unique<ModuleLink>(g, std::move(p));
        link->SetTimeOfDay([this] { return now; });
        QObject::connect(link.get(), &ModuleLink::DebugLine,
                         [this](const QString& l) { debug << l; });
        QObject::connect(link.get(), &ModuleLink::AttachedModeReported,
                         [this](std::uint8_t m) { attachedModes << m; });
    }
    // Delivers bytes in pieces, one poll and one parse pass per piece.
    void Deliver(const QByteArray& bytes, int piece = 0) {
        if (piece <= 0)
            piece = int(bytes.size());
        for (int i = 0; i < bytes.size(); i += piece) {
            port->incoming += bytes.mid(i, piece);
            link->ReceivePoll();
            link->ParsePass();
            now += 0.1f;
        }
    }
    QList<int> Order() const {
        QList<int> ids;
        for (int i = 0; i < g.Bus.ModuleCount; ++i)
            ids << g.Bus.ModuleOrder(i);
        return ids;
    }
    // Everything the parser can change, for comparing two deliveries.
    QString Snapshot() {
        QString s = QStringLiteral("count %1 G %2 min %3 order")
                        .arg(g.Bus.ModuleCount)
                        .arg(g.GModuleID)
                        .arg(g.Bus.MinVersion);
        for (int id : Order()) {
            const ModuleData& m = g.Bus.Modules(id);
            s += QStringLiteral(" [%1 %2 v%3 m%4 %5/%6 %7/%8]")
                     .arg(id)
                     .arg(QChar(m.GetSide()))
                     .arg(m.GetVersion())
                     .arg(m.GetMode())
                     .arg(m.GetStatusChannel1())
                     .arg(m.GetErrorCounterChannel1())
                     .arg(m.GetStatusChannel2())
                     .arg(m.GetErrorCounterChannel2());
        }
        return s;
    }
};

QByteArray Burst() {
    return Frame('G', 1, 34, 0xC5) + Frame('L', 7, 33) + Frame('R', 9, 34, 0x05, true, 300) +
           Frame('L', 8, 31, 0x05, false, 0, true, 32767) + Frame('R', 3);
}

}  // namespace

class TstParser : public QObject {
    Q_OBJECT
  private slots:
    void scanAnswersAreCountedDeduplicatedAndSorted() {
        Rig r;
        QSignalSpy frames(r.link.get(), &ModuleLink::FrameParsed);
        r.Deliver(Frame('G', 1, 34, 0xC5) + Frame('L', 7) + Frame('L', 7) + Frame('R', 9) +
                  Frame('L', 8));
        QCOMPARE(r.Order(), (QList<int>{1, 7, 8, 9}));
        QCOMPARE(int(r.g.GModuleID), 1);
        QCOMPARE(frames.count(), 5);
        QCOMPARE(qvariant_cast<FrameOutcome>(frames[2][1]), FrameOutcome::Repeat);
        QCOMPARE(r.attachedModes, (QList<std::uint8_t>{0xC5}));
        QCOMPARE(r.g.Bus.Modules(7).GetTimeStamp(), 1000.0f);
    }

    void repeatedAnswerChangesNothing() {
        Rig r;
        r.Deliver(Frame('G', 1) + Frame('L', 7, 20));
        r.Deliver(Frame('L', 7, 99) + Frame('G', 1, 10, 0xFF));
        QCOMPARE(int(r.g.Bus.Modules(7).GetVersion()), 20);
        QCOMPARE(r.g.Bus.Modules(7).GetTimeStamp(), 1000.0f);
        QCOMPARE(int(r.g.Bus.Modules(1).GetMode()), 0x05);
        QCOMPARE(r.attachedModes.size(), 1);  // the repeat does not reach the dialog
        QCOMPARE(int(r.g.Bus.MinVersion), 20);
    }

    void repeatedGStillSetsAttachedModuleAndSorts() {
        Rig r;
        r.Deliver(Frame('G', 1) + Frame('R', 5) + Frame('R', 6));
        QCOMPARE(r.Order(), (QList<int>{1, 6, 5}));
        r.g.Bus.Modules(5).SetSide('L');  // as a query answer "L" would
        r.Deliver(Frame('G', 4));
        QCOMPARE(int(r.g.GModuleID), 4);
        r.Deliver(Frame('G', 1));  // a repeat
        QCOMPARE(int(r.g.GModuleID), 1);
        QCOMPARE(r.Order(), (QList<int>{1, 5, 4, 6}));
    }

    void otherLettersUpdateTheRecordButNotTheOrder() {
        Rig r;
        r.Deliver(Frame('G', 1) + Frame('L', 7));
        r.now = 2000.0f;
        r.Deliver(Frame('P', 7, 34, 0x35, true, 12) + Frame('E', 7, 34, 0x35, true, 13));
        QCOMPARE(int(r.g.Bus.ModuleCount), 2);
        const ModuleData& m = r.g.Bus.Modules(7);
        QCOMPARE(int(m.GetSide()), int('E'));
        QCOMPARE(m.GetTimeStamp(), 2000.0f);
        QCOMPARE(int(m.GetErrorCounterChannel1()), 13);
        QVERIFY(m.GetStatusChannel1());
        QCOMPARE(int(m.GetMode()), 0x35);
    }

    void sameResultWhateverThePiecesOfTheStream_data() {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 3, 5, 7, 10, 11, 12, 13, 21, 22, 54}) {
            QTest::newRow(qPrintable(QString::number(piece))) << piece;
        }
    }
    void sameResultWhateverThePiecesOfTheStream() {
        QFETCH(int, piece);
        Rig whole, cut;
        whole.Deliver(Burst());
        cut.Deliver(Burst(), piece);
        QCOMPARE(cut.Snapshot(), whole.Snapshot());
        QCOMPARE(cut.g.Bus.ModuleCount, std::int16_t(5));
    }

    void brokenBytesCostOnlyThemselves_data() {
        QTest::addColumn<QByteArray>("stream");
        const QByteArray g = Frame('G', 1), l = Frame('L', 7), r = Frame('R', 9);
        QTest::newRow("letter below E first") << QByteArray("D") + g + l + r;
        QTest::newRow("noise between frames") << g + QByteArray::fromHex("00FF0A0D") + l + r;
        QTest::newRow("head of a frame that never ends") << g + l.left(6) + l + r;
        QTest::newRow("terminator missing") << g + l.left(9) + "\x0D\x0A" + l + r;
        QTest::newRow("zeros and CR LF")
            << QByteArray(20, '\0') + g + QByteArray("\x0D\x0A") + l + r;
    }
    void brokenBytesCostOnlyThemselves() {
        QFETCH(QByteArray, stream);
        for (int piece : {0, 1, 4}) {
            Rig rig;
            rig.Deliver(stream, piece);
            QCOMPARE(rig.Order(), (QList<int>{1, 7, 9}));
        }
    }

    void idAbove32000IsSkippedAndTheRestParsed() {
        Rig r;
        QSignalSpy frames(r.link.get(), &ModuleLink::FrameParsed);
        r.Deliver(Frame('G', 1) + Frame('L', 32001) + Frame('L', 0xFFFF) + Frame('L', 32000) +
                  Frame('P', 40000));
        QCOMPARE(r.Order(), (QList<int>{1, 32000}));
        QCOMPARE(qvariant_cast<FrameOutcome>(frames[1][1]), FrameOutcome::OutOfRange);
        QCOMPARE(qvariant_cast<FrameOutcome>(frames[4][1]), FrameOutcome::OutOfRange);
        QCOMPARE(int(r.g.GModuleID), 1);
    }

    void randomBytesNeverBreakTheTable() {
        // Seeded, so a failure repeats; the sanitizers watch every index.
        std::mt19937 random(20261207);
        Rig r;
        QByteArray stream;
        for (int i = 0; i < 4000; ++i) {
            if (random() % 4 == 0) {
                stream += Frame("EGLRP"[random() % 5], int(random() % 70000), int(random() % 256),
                                int(random() % 256), random() % 2, int(random() % 32768));
            } else {
                stream += char(random() % 256);
            }
        }
        for (int i = 0; i < stream.size();) {
            const int piece = 1 + int(random() % 40);
            r.Deliver(stream.mid(i, piece));
            i += piece;
            QVERIFY(r.link->Rx().RxWriteIndex >= 0 && r.link->Rx().RxWriteIndex < 11);
        }
        QVERIFY(r.g.Bus.ModuleCount >= 0);
        QSet<int> seen;
        for (int id : r.Order()) {
            QVERIFY(IsValidModuleID(id));
            QVERIFY(!seen.contains(id));  // the order holds each module once
            seen.insert(id);
        }
    }

    void incompleteTailWaitsForItsRest() {
        Rig r;
        const QByteArray l = Frame('L', 7);
        r.Deliver(Frame('G', 1) + l.left(4));
        QCOMPARE(r.Order(), (QList<int>{1}));
        QCOMPARE(int(r.link->Rx().RxWriteIndex), 4);  // kept at the start
        QCOMPARE(int(r.link->Rx().RxReadIndex), 0);
        QVERIFY(!r.g.RxPending);
        r.Deliver(l.mid(4));
        QCOMPARE(r.Order(), (QList<int>{1, 7}));
        QCOMPARE(int(r.link->Rx().RxWriteIndex), 0);
    }

    void timersAfterAPass() {
        Rig r;
        r.link->StartTimers();
        r.link->ParsePass();  // nothing pending: only the end step, Timer2 keeps running
        QVERIFY(r.link->Timer1.isActive());
        QVERIFY(r.link->Timer2.isActive());
        r.g.RxPending = true;  // pending with an empty buffer
        r.link->ParsePass();
        QVERIFY(r.link->Timer1.isActive());
        QVERIFY(!r.link->Timer2.isActive());
        QVERIFY(!r.g.RxPending);
        QCOMPARE(int(r.link->Rx().RxWriteIndex), 0);
        QCOMPARE(r.g.Bus.ModuleCount, std::int16_t(0));
        r.port->incoming = Frame('G', 1);
        r.link->ReceivePoll();
        QVERIFY(r.link->Timer1.isActive());
        QVERIFY(r.link->Timer2.isActive());
    }

    void debugLinesShowEveryByteOnce() {
        Rig r;
        r.Deliver(QByteArray::fromHex("0F10"));  // debug off: only the count
        QCOMPARE(r.debug, (QStringList{"Bytes received: 2"}));
        r.debug.clear();
        r.g.DebugEnabled = true;
        const QByteArray left5(reinterpret_cast<const char*>(vectors::kLeft5.data()), 11);
        r.Deliver(left5.left(7));
        r.Deliver(left5.mid(7) + QByteArray::fromHex("0F10"));
        QCOMPARE(r.debug, (QStringList{"Bytes received: 7", "Bytes received: 6",
                                       " 4C 05 00 0C 85 00 00 03 80 0A 0D"}));
        r.debug.clear();
        r.Deliver(QByteArray::fromHex("0A0D00000000000000"));  // completes the noise group
        QCOMPARE(r.debug, (QStringList{"Bytes received: 9", " 0F 10 0A 0D 00 00 00 00 00 00 00"}));
    }
};

Q_DECLARE_METATYPE(quorval::FrameOutcome)

QTEST_GUILESS_MAIN(TstParser)
#include "tst_parser.moc"

#include <QtTest>

#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/ModeByte.h"
#include "link/ModuleLink.h"
#include "link/ResponseFrame.h"
#include "support/FakeComm.h"
#include "support/FrameVectors.h"

using namespace quorval;
using testing_support::FakeComm;

namespace {

template <std::size_t N>
QByteArray Bytes(const std::array<std::uint8_t, N>& a) {
    return QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(N));
}

}  // namespace

class TstCommandFrame : public QObject {
    Q_OBJECT
  private slots:
    void frameCarriesOnlyTheParametersOfItsLetter_data() {
        QTest::addColumn<int>("letter");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("G ignores all parameters") << int('G') << Bytes(vectors::kScan);
        QTest::newRow("P keeps byte 3 zero") << int('P') << Bytes(vectors::kQuery1234);
        QTest::newRow("S carries the mode") << int('S') << Bytes(vectors::kSet1234);
        QTest::newRow("W carries the mode") << int('W') << Bytes(vectors::kWrite1234);
        QTest::newRow("unknown letter sends zeros")
            << int('X') << QByteArray::fromHex("58000000 0A0D00");
        QTest::newRow("lower-case p is not P")
            << int('p') << QByteArray::fromHex("70000000 0A0D00");
    }
    void frameCarriesOnlyTheParametersOfItsLetter() {
        QFETCH(int, letter);
        QFETCH(QByteArray, frame);
        Global g;
        g.TxByte1 = 0x34;
        g.TxByte2 = 0x12;
        g.TxByte3 = 0x99;
        FakeComm port;
        QVERIFY(SendCommand(g, port, static_cast<std::uint8_t>(letter)));
        QCOMPARE(port.written.size(), 1);  // one write per frame
        QCOMPARE(port.written[0], frame);
        QCOMPARE(port.written[0].size(), 7);
        QCOMPARE(port.written[0].back(), '\0');
    }

    void moduleIdTravelsLowByteFirst() {
        Global g;
        FakeComm port;
        const int id = 300;
        g.TxByte1 = static_cast<std::uint8_t>(id % 256);
        g.TxByte2 = static_cast<std::uint8_t>(id / 256);
        g.TxByte3 = 0x35;
        QVERIFY(SendCommand(g, port, kCmdSet));
        QCOMPARE(port.written[0], Bytes(vectors::kSet300Mode35));
    }

    void writeToClosedPortIsReportedNotRaised() {
        Global g;
        FakeComm port;
        port.open = false;
        QVERIFY(!SendCommand(g, port, kCmdScan));
        QVERIFY(port.written.isEmpty());
    }

    void responseFramesDecodeAsTabled() {
        const auto l = DecodeResponseFrame(vectors::kLeft5.data());
        QVERIFY(l);
        QCOMPARE(int(l->Letter), int('L'));
        QCOMPARE(l->ModuleID, 5);
        QCOMPARE(int(l->Version), 12);
        QCOMPARE(int(l->Mode), 0x85);
        QCOMPARE(l->StatusChannel2, false);
        QCOMPARE(int(l->ErrorCounterChannel2), 0);
        QCOMPARE(l->StatusChannel1, true);
        QCOMPARE(int(l->ErrorCounterChannel1), 3);

        const auto g = DecodeResponseFrame(vectors::kAttached32000.data());
        QVERIFY(g);
        QCOMPARE(int(g->Letter), int('G'));
        QCOMPARE(g->ModuleID, 32000);
        QCOMPARE(int(g->Version), 34);
        QCOMPARE(int(g->Mode), 0xC6);
        QCOMPARE(g->StatusChannel2, true);
        QCOMPARE(int(g->ErrorCounterChannel2), 32767);
        QCOMPARE(g->StatusChannel1, false);
        QCOMPARE(int(g->ErrorCounterChannel1), 258);

        const auto p = DecodeResponseFrame(vectors::kQueried300.data());
        QVERIFY(p);
        QCOMPARE(int(p->Letter), int('P'));
        QCOMPARE(p->ModuleID, 300);
    }

    void frameCheckRejects_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::newRow("letter D below E") << 0 << 0x44;
        QTest::newRow("letter 0x00") << 0 << 0x00;
        QTest::newRow("no LF at 9") << 9 << 0x0D;
        QTest::newRow("no CR at 10") << 10 << 0x0A;
    }
    void frameCheckRejects() {
        QFETCH(int, offset);
        QFETCH(int, value);
        auto f = vectors::kLeft5;
        f[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value);
        QVERIFY(!DecodeResponseFrame(f.data()));
        f[0] = 0x45;  // 'E' is the lowest valid letter
        if (offset == 0) {
            QVERIFY(DecodeResponseFrame(f.data()));
        }
    }

    void modeByteCaptions() {
        QCOMPARE(QString::fromStdString(RelayCaption(0xA5)), "CH1_Error OR CH2_Error");
        QCOMPARE(QString::fromStdString(RelayCaption(0xFF)), "NOT CH1_Error OR NOT CH2_Error");
        QCOMPARE(QString::fromStdString(RelayCaption(0x00)), "CH1_Error AND CH2_Error");
        QCOMPARE(QString::fromStdString(RelayCaption(0x10)), "NOT CH1_Error AND NOT CH2_Error");
        QCOMPARE(QString::fromStdString(BaudCaption(0x05)), "125 KBit/s");
        QCOMPARE(QString::fromStdString(BaudCaption(0xE8)), "1 MBit/s");
        QCOMPARE(QString::fromStdString(BaudCaption(0x01)), "10 KBit/s");
        QVERIFY(BaudCaption(0x00).empty());
        QVERIFY(BaudCaption(0x09).empty());
        QVERIFY(BaudCaption(0x0F).empty());
    }

    void receiveBufferWrapsAfterLastPosition() {
        ReceiveBuffer rx;
        rx.RxWriteIndex = 1023;
        rx.Store(0xAB);
        QCOMPARE(int(rx.RxBuffer[1023]), 0xAB);
        QCOMPARE(int(rx.RxWriteIndex), 0);
        rx.Store(0xCD);
        QCOMPARE(int(rx.RxBuffer[0]), 0xCD);
        QCOMPARE(int(rx.RxWriteIndex), 1);
    }

    void readSerialInputStoresEverythingAndRestartsBothTimers() {
        Global g;
        auto owned = std::make_unique<FakeComm>();
        FakeComm& port = *owned;
        ModuleLink link(g, std::move(owned));
        // 1030 bytes with zeros among them: the last six overwrite positions 0..5.
        QByteArray in;
        for (int i = 0; i < 1030; ++i) {
            in.append(static_cast<char>(i % 7 == 0 ? 0 : i & 0xFF));
        }
        port.incoming = in;
        link.ReadSerialInput();
        QVERIFY(port.incoming.isEmpty());
        QVERIFY(g.RxPending);
        QVERIFY(link.Timer1.isActive());
        QVERIFY(link.Timer2.isActive());
        QCOMPARE(int(link.Rx().RxWriteIndex), 6);
        for (int i = 0; i < 1024; ++i) {
            const int source = i < 6 ? 1024 + i : i;
            QCOMPARE(int(link.Rx().RxBuffer[static_cast<std::size_t>(i)]),
                     int(static_cast<std::uint8_t>(in[source])));
        }
    }

    void readSerialInputWithNothingStillMarksPending() {
        Global g;
        ModuleLink link(g, std::make_unique<FakeComm>());
        link.ReadSerialInput();
        QVERIFY(g.RxPending);
        QCOMPARE(int(link.Rx().RxWriteIndex), 0);
        QVERIFY(link.Timer1.isActive());
        QVERIFY(link.Timer2.isActive());
    }
};

QTEST_GUILESS_MAIN(TstCommandFrame)
#include "tst_commandframe.moc"

// The logic below the windows: frames, the parse pass, the module table, the
// ring's geometry and the global settings' rules.

#include <QtTest>

#include "common/Parse.h"
#include "geometry/BusGeometry.h"
#include "geometry/PlotGeometry.h"
#include "link/CommandFrame.h"
#include "link/MemoryComm.h"
#include "link/ModuleLink.h"
#include "link/PortList.h"
#include "link/PortMap.h"
#include "model/Firmware.h"
#include "model/Global.h"
#include "model/GlobalSettingsModel.h"
#include "model/ModuleState.h"
#include "model/ModuleText.h"
#include "session/RelayApply.h"
#include "support/FrameVectors.h"

using namespace quorval;
using Topology = GlobalSettingsModel::Topology;

Q_DECLARE_METATYPE(quorval::FrameOutcome)
using Ports = std::vector<quorval::PortInfo>;
using Keys = std::array<quorval::ComKey, 4>;
Q_DECLARE_METATYPE(Ports)
Q_DECLARE_METATYPE(Keys)
Q_DECLARE_METATYPE(quorval::PortNaming)

namespace {

// An answer; channel 1 reports an error when it counts any, channel 2 is clear.
QByteArray Frame(char letter, int id, int version = 34, int mode = 0x05, int c1 = 0) {
    return QByteArray::fromHex(QString::asprintf("%02X%02X%02X%02X%02X0000%02X%02X0A0D", letter,
                                                 id & 0xFF, id >> 8 & 0xFF, version, mode,
                                                 c1 & 0xFF, (c1 >> 8 & 0x7F) | (c1 ? 0x80 : 0))
                                   .toLatin1());
}

// A link on an in-memory port; each piece is one receive poll and one parse pass.
struct Rig {
    Global g;
    MemoryComm* port = nullptr;
    std::unique_ptr<ModuleLink> link;
    QStringList debug;
    QList<int> attachedModes;
    float now = 1000.0f;

    Rig() {
        auto p = std::make_unique<MemoryComm>();
        port = p.get();
        link = std::make_unique<ModuleLink>(g, std::move(p));
        link->SetTimeOfDay([this] { return now; });
        QObject::connect(link.get(), &ModuleLink::DebugLine, [this](QString l) { debug << l; });
        QObject::connect(link.get(), &ModuleLink::AttachedModeReported,
                         [this](std::uint8_t m) { attachedModes << m; });
    }
    void Deliver(const QByteArray& bytes, int piece = 0) {
        piece = piece > 0 ? piece : int(bytes.size());
        for (int i = 0; i < bytes.size(); i += piece) {
            port->Receive(bytes.mid(i, piece));
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
    // Everything the parser can change.
    QString Snapshot() {
        QString s = QStringLiteral("G%1 min%2").arg(g.GModuleID).arg(g.Bus.MinVersion);
        for (int id : Order()) {
            const ModuleData& m = g.Bus.Modules(id);
            s += QStringLiteral(" [%1 %2 v%3 m%4 %5/%6]")
                     .arg(id)
                     .arg(QChar(m.GetSide()))
                     .arg(m.GetVersion())
                     .arg(m.GetMode())
                     .arg(m.GetStatusChannel1())
                     .arg(m.GetErrorCounterChannel1());
        }
        return s;
    }
};

template <std::size_t N>
QByteArray Bytes(const std::array<std::uint8_t, N>& a) {
    return QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(N));
}

PortInfo Adapter(const char* device, const char* byId, const char* serial, const char* byPath = "",
                 const char* description = "USB-Serial Controller", const char* maker = "") {
    return {device, byId, byPath, description, maker, serial, 0x067b, 0x2303, PortKind::Usb};
}
PortInfo Ftdi(const char* device) {
    return {device,       "usb-FTDI_FT232R_USB_UART_A12B3C-if00-port0",
            "",           "FT232R USB UART",
            "FTDI",       "A12B3C",
            0x0403,       0x6001,
            PortKind::Usb};
}
PortInfo Uart(const char* device, const char* description = "") {
    PortInfo p;
    p.device = device;
    p.description = description;
    return p;
}

QByteArray Burst() {
    return Frame('G', 1, 34, 0xC5) + Frame('L', 7, 33) + Frame('R', 9, 34, 0x05, 300) +
           Frame('L', 8, 31) + Frame('R', 3);
}

}  // namespace

class TstCore : public QObject {
    Q_OBJECT
  private slots:
    void commandFramesCarryOnlyTheirLettersParameters_data() {
        QTest::addColumn<int>("letter");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("G: none") << int('G') << Bytes(vectors::kScan);
        QTest::newRow("P: the ID only") << int('P') << Bytes(vectors::kQuery1234);
        QTest::newRow("W: ID and mode") << int('W') << Bytes(vectors::kWrite1234);
        QTest::newRow("lower-case p") << int('p') << QByteArray::fromHex("70000000 0A0D00");
    }
    void commandFramesCarryOnlyTheirLettersParameters() {
        QFETCH(int, letter);
        QFETCH(QByteArray, frame);
        MemoryComm port;
        QVERIFY(WriteFrame(port, ModuleFrame(static_cast<std::uint8_t>(letter), 0x1234, 0x99)));
        QCOMPARE(port.Written(), QList<QByteArray>{frame});  // one write per frame
    }

    void answersDecodeAsWrittenByHand() {
        Rig r;
        r.Deliver(Bytes(vectors::kAttached32000) + Bytes(vectors::kLeft5));
        QCOMPARE(r.Order(), (QList<int>{32000, 5}));
        const ModuleData& g = r.g.Bus.Modules(32000);
        QCOMPARE(int(g.GetVersion()), 34);
        QCOMPARE(int(g.GetMode()), 0xC6);
        QVERIFY(!g.GetStatusChannel1() && g.GetStatusChannel2());
        QCOMPARE(int(g.GetErrorCounterChannel1()), 258);
        QCOMPARE(int(g.GetErrorCounterChannel2()), 32767);
        const ModuleData& l = r.g.Bus.Modules(5);
        QVERIFY(l.GetStatusChannel1() && !l.GetStatusChannel2());
        QCOMPARE(int(l.GetErrorCounterChannel1()), 3);
        QCOMPARE(int(r.g.Bus.MinVersion), 12);
        // Any other letter from E up updates the record, time included, not the order.
        r.now = 2000.0f;
        r.Deliver(Frame('E', 5, 13, 0x35));
        QCOMPARE(r.Order(), (QList<int>{32000, 5}));
        QCOMPARE(int(l.GetSide()), int('E'));
        QCOMPARE(l.GetTimeStamp(), 2000.0f);
        QCOMPARE(int(l.GetMode()), 0x35);
    }

    void scanAnswersAreCountedOnceAndSorted() {
        Rig r;
        QSignalSpy frames(r.link.get(), &ModuleLink::FrameParsed);
        r.Deliver(Frame('G', 1, 34, 0xC5) + Frame('L', 7, 20) + Frame('L', 7, 99) + Frame('R', 9) +
                  Frame('L', 8));
        QCOMPARE(r.Order(), (QList<int>{1, 7, 8, 9}));
        QCOMPARE(qvariant_cast<FrameOutcome>(frames[2][1]), FrameOutcome::Repeat);
        QCOMPARE(int(r.g.Bus.Modules(7).GetVersion()), 20);  // the repeat changed nothing
        QCOMPARE(r.attachedModes, QList<int>{0xC5});
        // A repeated "G" names the attached module again and sorts, nothing more.
        r.g.Bus.Modules(9).SetSide('L');
        r.Deliver(Frame('G', 1, 10, 0xFF));
        QCOMPARE(r.Order(), (QList<int>{1, 7, 9, 8}));
        QCOMPARE(int(r.g.Bus.Modules(1).GetMode()), 0xC5);
        QCOMPARE(r.attachedModes.size(), 1);
        QCOMPARE(int(r.g.Bus.MinVersion), 20);
    }

    void sameResultWhateverThePiecesOfTheStream_data() {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 5, 10, 11, 12, 21, 22, 54})
            QTest::newRow(qPrintable(QString::number(piece))) << piece;
    }
    void sameResultWhateverThePiecesOfTheStream() {
        QFETCH(int, piece);
        Rig whole, cut;
        whole.Deliver(Burst());
        cut.Deliver(Burst(), piece);
        QCOMPARE(cut.Snapshot(), whole.Snapshot());
        QCOMPARE(cut.Order(), (QList<int>{1, 7, 8, 3, 9}));
    }

    void brokenBytesCostOnlyThemselves_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<int>>("order");
        const QByteArray g = Frame('G', 1), l = Frame('L', 7), r = Frame('R', 32000);
        const QList<int> all{1, 7, 32000};
        QTest::newRow("letter below E first") << "D" + g + l + r << all;
        QTest::newRow("noise between frames") << g + QByteArray::fromHex("00FF0A0D") + l + r << all;
        QTest::newRow("head of a frame that never ends") << g + l.left(6) + l + r << all;
        QTest::newRow("terminator swapped") << g + l.left(9) + "\x0D\x0A" + l + r << all;
        QTest::newRow("IDs above 32000 skipped")
            << g + Frame('L', 32001) + Frame('L', 0xFFFF) + l + Frame('P', 40000) + r << all;
        QTest::newRow("ID 0 is a module") << g + Frame('L', 0) << QList<int>{1, 0};
    }
    void brokenBytesCostOnlyThemselves() {
        QFETCH(QByteArray, stream);
        QFETCH(QList<int>, order);
        for (int piece : {0, 1, 4}) {
            Rig r;
            r.Deliver(stream, piece);
            QCOMPARE(r.Order(), order);
            QCOMPARE(int(r.g.GModuleID), 1);
        }
    }

    void answersBeyondTheRingWaitAtThePort() {
        Rig r;
        QByteArray burst;
        for (int id = 1; id <= 100; ++id)
            burst += Frame(id == 1 ? 'G' : 'L', id);
        r.port->Receive(burst);  // a poll held up, or an adapter that delivers in bursts
        for (int poll = 0; poll < 2; ++poll) {
            r.link->ReceivePoll();
            r.link->ParsePass();
        }
        QCOMPARE(r.debug, (QStringList{"Bytes received: 1023", "Bytes received: 77"}));
        QCOMPARE(r.Order().size(), 100);
    }

    // An Apply whose frame cannot leave changes no record, not even back: what a parse
    // stored meanwhile is the module's own word, and stays.
    void applyThatDidNotLeaveKeepsWhatAParseStored() {
        Rig r;
        r.Deliver(Frame('G', 9, 34, 0x05));
        r.port->HoldOutput(7);
        auto* apply = new RelayApply(*r.link);
        QSignalSpy ended(apply, &RelayApply::finished);
        QVERIFY(apply->Start(9, 0x30, false));
        r.Deliver(Frame('P', 9, 34, 0x85));
        QVERIFY(ended.wait(5000));
        QCOMPARE(ended[0][0].value<ApplyOutcome>(), ApplyOutcome::Refused);
        QCOMPARE(r.port->Written().last().toHex(' '), QByteArray("53 09 00 35 0a 0d 00"));
        QCOMPARE(int(r.g.Bus.Modules(9).GetMode()), 0x85);
        QCOMPARE(r.port->BytesToWrite(), 0);  // dropped, never sent later
    }

    void debugDumpShowsEveryByteOnce() {
        Rig r;
        r.Deliver(QByteArray::fromHex("0F10"));  // debug off: only the count
        QCOMPARE(r.debug, QStringList{"Bytes received: 2"});
        r.debug.clear();
        r.g.DebugEnabled = true;
        r.Deliver(Bytes(vectors::kLeft5).left(7));
        r.Deliver(Bytes(vectors::kLeft5).mid(7) + QByteArray::fromHex("0F10"));
        QCOMPARE(r.debug, (QStringList{"Bytes received: 7", "Bytes received: 6",
                                       " 4C 05 00 0C 85 00 00 03 80 0A 0D"}));
    }

    void sortKeepsTheAttachedThenLeftAsFoundThenOthersReversed_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QByteArray>("sides");
        QTest::addColumn<QList<int>>("sorted");
        QTest::newRow("mixed") << QList<int>{1, 2, 3, 4, 5} << QByteArray("GLRLR")
                               << QList<int>{1, 2, 4, 5, 3};
        QTest::newRow("position 0 stays, even when L")
            << QList<int>{4, 3, 2} << QByteArray("LRL") << QList<int>{4, 2, 3};
        QTest::newRow("G and 0 count as not L")
            << QList<int>{1, 2, 3, 4} << QByteArray("GG\0L", 4) << QList<int>{1, 4, 3, 2};
    }
    void sortKeepsTheAttachedThenLeftAsFoundThenOthersReversed() {
        QFETCH(QList<int>, ids);
        QFETCH(QByteArray, sides);
        QFETCH(QList<int>, sorted);
        Rig r;
        for (int i = 0; i < ids.size(); ++i) {
            r.g.Bus.Modules(ids[i]).SetSide(static_cast<std::uint8_t>(sides[i]));
            QVERIFY(r.g.Bus.AppendToOrder(ids[i]));
        }
        for (int twice = 0; twice < 2; ++twice) {  // sorting again must not flip them back
            r.g.Bus.SortModulesBySide();
            QCOMPARE(r.Order(), sorted);
        }
    }

    void orderHoldsEveryPossibleModuleAndNoMore() {
        ModuleTable t;
        for (int id = 0; id <= kMaxModuleID; ++id)
            QVERIFY(t.AppendToOrder(id));
        QVERIFY(!t.AppendToOrder(5));
        QVERIFY(!t.AppendToOrder(-1));
        QCOMPARE(int(t.ModuleCount), kModuleSlots);
        t.SortModulesBySide();
        QCOMPARE(int(t.ModuleOrder(1)), kMaxModuleID);
        QCOMPARE(int(t.ModuleOrder(kMaxModuleID)), 1);
        // A table that moves (a program started afresh) takes its records along:
        // they lower the oldest firmware of the table they are in now.
        t.Modules(7).SetVersion(40);
        ModuleTable moved(std::move(t));
        moved.Modules(7).SetVersion(31);
        QCOMPARE(int(moved.MinVersion), 31);
        QCOMPARE(int(moved.ModuleCount), kModuleSlots);
    }

    void smallRulesAtTheirBounds() {
        for (const auto& [version, foreign] :
             {std::pair{39, false}, {40, true}, {45, true}, {49, true}, {50, false}, {255, false}})
            QCOMPARE(IsForeignFirmware(version), foreign);
        QCOMPARE(ModuleIdFromText(" 0 "), std::optional<int>(0));  // blanks around it allowed
        QCOMPARE(PortMap().Device(5), QString());
        QCOMPARE(ComPortNumber("com2"), 2);
        QCOMPARE(ComPortNumber("COM5"), 0);
    }

    // Numbers in files and on command lines: digits only, within their range, however long.
    void numbersAreReadExactlyWithinTheirRange_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("radix");     // -1: a number of seconds
        QTest::addColumn<double>("value");  // -1: refused; 0 .. 32000 (seconds: 86400) allowed
        const auto row = [](const QByteArray& text, int radix, double value) {
            QTest::addRow("%d '%s'", radix, text.left(20).constData()) << text << radix << value;
        };
        for (const char* bad : {"", " 5", "+5", "-0", "5.0", "3x", "\xd9\xa3", "32001"})
            row(bad, int(Radix::Decimal), -1);
        row("18446744073709551621", int(Radix::Decimal), -1);  // 2^64 + 5, would wrap to 5
        row("032000", int(Radix::Decimal), 32000);
        row("7d00", int(Radix::Hex), 32000);
        row("0x7D01", int(Radix::DecimalOr0x), -1);
        row("86400.0", -1, 86400);
        for (const char* bad : {"86400.5", "1e1", "5.", ".5", " 5", "-1", "inf"})
            row(bad, -1, -1);
        row(QByteArray(400, '9'), -1, -1);
    }
    void numbersAreReadExactlyWithinTheirRange() {
        QFETCH(QByteArray, text);
        QFETCH(int, radix);
        QFETCH(double, value);
        const std::string_view t(text.constData(), std::size_t(text.size()));
        QCOMPARE(radix < 0 ? ParseDecimal(t, 0, 86400).value_or(-1)
                           : double(ParseWhole(t, 0, 32000, Radix(radix)).value_or(-1)),
                 value);
    }

    void comNumbersGoToAdaptersByNameThenToUarts_data() {
        QTest::addColumn<Ports>("ports");
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<PortNaming>("naming");
        QTest::addColumn<QStringList>("described");
        const PortNaming devices = PortNaming::Devices;
        const QString byId = "\nordered by /dev/serial/by-id";
        const QString uart = "\nbuilt-in UART";
        const QString left = "\ndefault: no other serial port found";
        QTest::newRow("nothing found: the defaults")
            << Ports{} << Keys{} << devices
            << QStringList{"COM1: /dev/ttyS0" + left, "COM2: /dev/ttyS1" + left,
                           "COM3: /dev/ttyS2" + left, "COM4: /dev/ttyS3" + left};
        QTest::newRow("by-id name, not device name; UARTs by number")
            << Ports{Uart("/dev/ttyS10"),
                     Ftdi("/dev/ttyUSB1"),
                     Adapter("/dev/ttyUSB0", "usb-Silicon_Labs_CP2102_0001-if00-port0", "0001"),
                     Uart("/dev/ttyS2"),
                     {"/dev/ttyACM0", "usb-Arduino_Uno_85735313", "", "", "", "85735313", 0x2341,
                      0x0043, PortKind::Acm}}
            << Keys{} << devices
            << QStringList{"COM1: /dev/ttyACM0, serial 85735313" + byId,
                           "COM2: /dev/ttyUSB1, FT232R USB UART, FTDI, serial A12B3C" + byId,
                           "COM3: /dev/ttyUSB0, USB-Serial Controller, serial 0001" + byId,
                           "COM4: /dev/ttyS2" + uart};
        // udev gives the two one by-id link, to whichever came last.
        QTest::newRow("identical adapters without serial numbers")
            << Ports{Adapter("/dev/ttyUSB0", "usb-Prolific-if00-port0", "",
                             "pci-0000:00:14.0-usb-0:2:1.0-port0"),
                     Adapter("/dev/ttyUSB1", "", "", "pci-0000:00:14.0-usb-0:1:1.0-port0"),
                     Adapter("/dev/ttyUSB2", "usb-Prolific_A7-if00-port0", "A7")}
            << Keys{} << devices
            << QStringList{"COM1: /dev/ttyUSB2, USB-Serial Controller, serial A7" + byId,
                           "COM2: /dev/ttyUSB1, USB-Serial Controller\nordered by "
                           "/dev/serial/by-path: no serial number",
                           "COM3: /dev/ttyUSB0, USB-Serial Controller\nordered by "
                           "/dev/serial/by-path: no serial number",
                           "COM4: /dev/ttyS3" + left};
        QTest::newRow("keys win and take their device out of the rule")
            << Ports{Ftdi("/dev/ttyUSB0"), Uart("/dev/ttyS0")}
            << Keys{ComKey{"/tmp/lwl-com1", "/dev/pts/3"}, ComKey{"/dev/ttyS3", "/dev/ttyS3"},
                    ComKey{"/dev/serial/by-id/usb-FTDI", "/dev/ttyUSB0"}, ComKey{}}
            << devices
            << QStringList{"COM1: /tmp/lwl-com1\nset by the com1 key",
                           "COM2: /dev/ttyS3\nset by the com2 key",
                           "COM3: /dev/ttyUSB0, FT232R USB UART, FTDI, serial A12B3C\nset by "
                           "the com3 key: /dev/serial/by-id/usb-FTDI",
                           "COM4: /dev/ttyS0" + uart};
        QTest::newRow("a default that a key has is not given twice")
            << Ports{} << Keys{ComKey{"/dev/serial/by-id/usb-X", "/dev/ttyS2"}} << devices
            << QStringList{"COM1: /dev/serial/by-id/usb-X\nset by the com1 key",
                           "COM2: /dev/ttyS1" + left, "COM3: no device\nno serial port left for it",
                           "COM4: /dev/ttyS3" + left};
        QTest::newRow("Windows: COMn stays, a key names any port")
            << Ports{Uart("COM1", "Communications Port"), Ftdi("COM7")}
            << Keys{ComKey{}, ComKey{"com7", "com7"}} << PortNaming::Windows
            << QStringList{"COM1: COM1, Communications Port",
                           "COM2: COM7, FT232R USB UART, FTDI, serial A12B3C\nset by the com2 "
                           "key: com7",
                           "COM3: COM3", "COM4: COM4"};
    }
    void comNumbersGoToAdaptersByNameThenToUarts() {
        QFETCH(Ports, ports);
        QFETCH(Keys, keys);
        QFETCH(PortNaming, naming);
        QFETCH(QStringList, described);
        const std::array<ComPort, 4> com = AssignComPorts(ports, keys, naming);
        QStringList got;
        for (int n = 1; n <= 4; ++n)
            got << DescribeComPort(n, com[std::size_t(n - 1)], ports);
        QCOMPARE(got, described);
    }

    // Every picture centred on the circle, the attached module at the top, the others
    // counter-clockwise in equal steps of whole degrees, a half rounded to even.
    void picturesSitOnTheRingInEqualSteps() {
        const RingGeometry ring = Ring(300, 260, 27);  // the smaller side, less a picture
        QCOMPARE(ring.arcRadius, 103.0f);
        QCOMPARE(Ring(900, 260, 27).placeRadius, ring.placeRadius);
        QCOMPARE(Ring(260, 900, 27).placeRadius, ring.placeRadius);
        for (const int n : {1, 2, 3, 4, 7, 16, 255}) {
            for (int k = 0; k < n; ++k) {
                const int deg = PositionAngle(k, n);
                const double off = std::remainder(deg - (90 + 360.0 * k / n), 360);
                QVERIFY(deg >= 0 && deg < 360 && qAbs(off) <= 0.5);
                QVERIFY(qAbs(off) < 0.5 || deg % 2 == 0);
                const Point p = PicturePosition(ring, k, n, 20, 27);
                const double x = p.left + 10 - ring.centreX, y = ring.centreY - (p.top + 13.5);
                QVERIFY(qAbs(std::hypot(x, y) - ring.placeRadius) < 1e-9);
                QVERIFY(qAbs(std::remainder(std::atan2(y, x) * 180 / M_PI - deg, 360)) < 1e-9);
            }
        }
        QCOMPARE(PositionAngle(0, 5), 90);
        QCOMPARE(int(RoundHalfEven(1e9)), 32767);
    }

    void linkColours_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("self");  // channel 1 and 2 in error, "00".."11"
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("nextRed");
        QTest::addColumn<bool>("previousRed");
        QTest::newRow("3: both ends faulty") << 3 << "10"
                                             << "01" << true << true;
        QTest::newRow("3: one end faulty") << 3 << "11"
                                           << "00" << false << false;
        QTest::newRow("1: itself faulty") << 1 << "01"
                                          << "01" << true << true;
        QTest::newRow("2: own channel 2 for the next") << 2 << "01"
                                                       << "10" << true << false;
        QTest::newRow("2: own channel 1 for the previous") << 2 << "10"
                                                           << "01" << false << true;
        QTest::newRow("2: neighbour fine") << 2 << "11"
                                           << "00" << false << false;
    }
    void linkColours() {
        QFETCH(int, count);
        QFETCH(QString, self);
        QFETCH(QString, other);
        QFETCH(bool, nextRed);
        QFETCH(bool, previousRed);
        const ChannelState s{self[0] == '1', self[1] == '1'};
        const ChannelState o{other[0] == '1', other[1] == '1'};
        QCOMPARE(NextLinkRed(s, o, count), nextRed);
        QCOMPARE(PreviousLinkRed(s, o, count), previousRed);
    }

    // The neighbours a module is joined to by a red link, as its description names them.
    void redLinksFromEitherEnd_data() {
        QTest::addColumn<QString>("lamps");  // per position channel 1 and 2 in error, m missing
        QTest::addColumn<QString>("red");    // per position: the red neighbours
        QTest::newRow("one module in error: no neighbour") << "11"
                                                           << "0:";
        QTest::newRow("two in error: one neighbour, once") << "10 01"
                                                           << "0:1 1:0";
        QTest::newRow("four: the ring closes") << "10 00 00 01"
                                               << "0:3 1: 2: 3:0";
        QTest::newRow("four: next before previous") << "00 01 11 10"
                                                    << "0: 1:2 2:3,1 3:2";
        QTest::newRow("four, one missing (m): grey") << "00 01 11m 10"
                                                     << "0: 1: 2: 3:";
    }
    void redLinksFromEitherEnd() {
        QFETCH(QString, lamps);
        QFETCH(QString, red);
        const QStringList l = lamps.split(' ');
        const auto state = [&](int k) { return ChannelState{l[k][0] == '1', l[k][1] == '1'}; };
        QStringList out;
        for (int k = 0; k < l.size(); ++k) {
            QStringList to;
            for (int j : RedLinkNeighbours(k, int(l.size()), state,
                                           [&](int i) { return l[i].endsWith('m'); }))
                to << QString::number(j);
            out << QString("%1:%2").arg(k).arg(to.join(','));
        }
        QCOMPARE(out.join(' '), red);
    }

    // What a module picture says to a screen reader and in its tooltip.
    void modulePicturesInWords_data() {
        QTest::addColumn<QString>("module");  // ID VERSION CH1-ERROR CH2-ERROR COUNT1 COUNT2
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QList<int>>("redLinks");
        QTest::addColumn<QString>("description");
        QTest::newRow("in error, both links")
            << "1202 34 1 0 17 0" << false << QList<int>{1201, 1203}
            << "firmware 3.4; CH1 error, error counter 17; CH2 ok, error counter 0; link to "
               "module 1201 in error; link to module 1203 in error";
        QTest::newRow("missing") << "1206 33 0 1 0 5" << true << QList<int>{}
                                 << "missing; last answer: firmware 3.3; CH1 ok, error counter "
                                    "0; CH2 error, error counter 5";
    }
    void modulePicturesInWords() {
        QFETCH(QString, module);
        QFETCH(bool, missing);
        QFETCH(QList<int>, redLinks);
        QFETCH(QString, description);
        const QStringList f = module.split(' ');
        const ModuleState m{
            f[0].toInt(), 'L',         std::uint8_t(f[1].toInt()), 0, f[2] == "1", f[3] == "1",
            f[4].toInt(), f[5].toInt()};
        const ModuleWords w =
            DescribeModule(m, RingPlace{false, missing, {redLinks.begin(), redLinks.end()}});
        QCOMPARE(w.name, "Module " + f[0]);
        QCOMPARE(w.description, description);
        QCOMPARE(w.toolTip, w.name + "\n" + description.split("; ").join('\n'));
        QCOMPARE(RingName(1), QString("Bus Info, 1 module"));
        QCOMPARE(RingName(6, 1), QString("Bus Info, 6 modules, 1 missing"));
    }

    void baudRateRules_data() {
        QTest::addColumn<int>("minVersion");
        QTest::addColumn<bool>("bit29");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<bool>("pointToPoint");
        QTest::addColumn<bool>("lineEnabled");
        const auto row = [](const char* name, int v, bool b29, const char* baud, bool p2p,
                            bool line) { QTest::newRow(name) << v << b29 << baud << p2p << line; };
        row("125, 11 bit, 3.3: enabled, point to point", 33, false, "125 KBit/s", true, true);
        row("125, 11 bit, 3.4: nothing", 34, false, "125 KBit/s", false, false);
        row("10, 29 bit, 3.3: nothing", 33, true, "10 KBit/s", false, false);
        row("250, 2.4: forced", 24, false, "250 KBit/s", true, false);
        row("250, 11 bit, 2.5: enabled", 25, false, "250 KBit/s", false, true);
        row("250, 11 bit, 3.3: enabled", 33, false, "250 KBit/s", false, true);
        row("250, 11 bit, 3.4: nothing", 34, false, "250 KBit/s", false, false);
        row("500, 2.9: forced", 29, false, "500 KBit/s", true, false);
        row("500, 11 bit, 3.0: enabled", 30, false, "500 KBit/s", false, true);
        row("500, 11 bit, 3.4: forced", 34, false, "500 KBit/s", true, false);
        row("500, 29 bit, 3.3: forced", 33, true, "500 KBit/s", true, false);
        row("1M, 3.0: forced", 30, false, "1 MBit/s", true, false);
        row("1M, 2.9: nothing", 29, false, "1 MBit/s", false, false);
        row("1M, none seen: forced", 255, true, "1 MBit/s", true, false);
    }
    void baudRateRules() {
        QFETCH(int, minVersion);
        QFETCH(bool, bit29);
        QFETCH(QString, baud);
        QFETCH(bool, pointToPoint);
        QFETCH(bool, lineEnabled);
        const auto v = static_cast<std::uint8_t>(minVersion);
        GlobalSettingsModel m;
        m.SetProperties(v);
        m.SelectIdentifier(bit29, v);
        // Line / Ring selected but disabled: the state in which every effect shows.
        if (!m.SelectBaud("500 KBit/s", v) || m.LineOrRingEnabled())
            m.SelectBaud("1 MBit/s", v);
        m.SelectTopology(Topology::LineOrRing);
        QVERIFY(!m.LineOrRingEnabled());
        QVERIFY(m.SelectBaud(baud, v));
        QCOMPARE(m.SelectedTopology() == Topology::PointToPoint, pointToPoint);
        QCOMPARE(m.LineOrRingEnabled(), lineEnabled);
    }

    void identifierRulesFollowTheOldestFirmware() {
        GlobalSettingsModel m;
        m.SetProperties(255);  // no module seen: the options stay as they are
        m.SelectIdentifier(true, 255);
        QVERIFY(m.Is29Bit() && m.SelectedBaud().isEmpty());
        m.SelectBaud("500 KBit/s", 255);
        m.SetProperties(32);  // below 3.3: 11 bit forced, 29 bit gone for good
        QVERIFY(!m.Is29Bit() && !m.Identifier29Enabled());
        m.SetProperties(33);
        QVERIFY(!m.Identifier29Enabled());
        GlobalSettingsModel fresh;
        fresh.SetProperties(33);  // 33 is not below 33
        QVERIFY(fresh.Identifier29Enabled());
        fresh.SelectBaud("1 MBit/s", 34);
        fresh.SelectIdentifier(true, 34);  // 29 bit: no 1 MBit/s, 500 and point to point
        QCOMPARE(fresh.BaudList().size(), 7);
        QCOMPARE(fresh.SelectedBaud(), QString("500 KBit/s"));
        QCOMPARE(fresh.SelectedTopology(), Topology::PointToPoint);
        fresh.SelectIdentifier(false, 34);
        QCOMPARE(fresh.BaudList().size(), 8);
    }

    void reportedModesShowAndMakeTheModeByte() {
        GlobalSettingsModel m;
        m.SetProperties(34);
        m.SelectBaud("125 KBit/s", 34);
        m.SetRelayText("CH1_Error AND CH2_Error");
        QCOMPARE(int(m.ModeByte()), 0x05);
        m.ShowReportedMode(0xE6, 34);
        QCOMPARE(int(m.ModeByte()), 0xE6);
        QCOMPARE(m.RelayText(), QString("CH1_Error OR CH2_Error"));
        m.ShowReportedMode(0x00, 34);  // baud code 0: the rate stays
        QCOMPARE(int(m.ModeByte()), 0x06);
        m.ShowReportedMode(0xF8, 34);  // no 1 MBit/s with 29 bit at 3.4
        QCOMPARE(m.SelectedBaud(), QString("250 KBit/s"));
        QVERIFY(!m.LineOrRingEnabled());
    }

    void trendPlotBreaksAtGapsAndThinsDenseRuns() {
        QCOMPARE(NiceTicks(0, 17, 4), (std::vector<double>{0, 5, 10, 15, 20}));
        QCOMPARE(NiceTicks(7, 7, 2), (std::vector<double>{7, 7.5, 8}));  // a flat line still spans
        const PlotFrame frame{200, 100, 20, 10, 10, 20};
        // Present, missing twice, present again: two lines, one gap between them.
        const PlotSeries broken{"CH1", {{0, 0.0}, {1000, {}}, {2000, {}}, {4000, 10.0}}};
        const PlotLayout l = LayOutPlot(frame, 0, 4000, {broken}, {{2000, "missing"}});
        QCOMPARE(l.lines[0].size(), std::size_t(2));
        QCOMPARE(l.lines[0][0][0].x, l.left);
        QCOMPARE(l.lines[0][0][0].y, l.bottom);
        QCOMPARE(l.lines[0][1][0].x, l.right);
        QCOMPARE(l.lines[0][1][0].y, l.top);
        QCOMPARE(l.gaps[0], (std::vector<std::pair<double, double>>{{l.left, l.right}}));
        QCOMPARE(l.marks[0].x, (l.left + l.right) / 2);
        QCOMPARE(l.timeTicks.front().label, QString("00:00:00"));
        // A day of samples on 170 pixels keeps the extremes, at most four per column.
        PlotSeries dense{"CH2", {}};
        for (int i = 0; i < 86400; ++i)
            dense.samples.push_back({qint64(i) * 1000, double(i == 5000 ? 1000 : i % 7)});
        const PlotLayout d = LayOutPlot(frame, 0, 86399000, {dense}, {});
        QVERIFY(d.lines[0][0].size() <= 4 * 171);
        QCOMPARE(std::min_element(d.lines[0][0].begin(), d.lines[0][0].end(),
                                  [](auto a, auto b) { return a.y < b.y; })
                     ->y,
                 d.top);
        // Thinned as it comes, the day lays out as it does whole; marks of a kind share a column.
        for (int i = 0; i < 86400; i += 997)
            dense.samples[std::size_t(i)].value.reset();
        PlotThinner thinner(frame, 0, 86399000);
        for (const PlotSample& p : dense.samples)
            thinner.Add(p);
        for (const qint64 t : {1000, 2000, 3000, 86399000})
            thinner.AddMark({t, QString::number(t), t == 2000 ? 1 : 0});
        const auto marks = thinner.Marks();
        QCOMPARE(marks.size(), std::size_t(3));
        const PlotLayout whole = LayOutPlot(frame, 0, 86399000, {dense}, marks);
        const PlotLayout thin = LayOutPlot(frame, 0, 86399000, {{"CH2", thinner.Samples()}}, {});
        QVERIFY(thinner.Samples().size() <= 9 * 171);
        QCOMPARE(thin.lines, whole.lines);
        QCOMPARE(thin.gaps, whole.gaps);
        QCOMPARE(thin.valueTicks.back().label, whole.valueTicks.back().label);
        QCOMPARE(whole.marks.size(), std::size_t(3));
        QCOMPARE(whole.marks[0].count, 2);  // 1000 and 3000, one column apart from 2000's kind
        QCOMPARE(whole.marks[2].text, QString("86399000"));
        // A module that drops out every other round keeps one gap per column.
        PlotThinner flapping(frame, 0, 86399000);
        for (int i = 0; i < 86400; ++i)
            flapping.Add({qint64(i) * 1000, i % 2 ? std::optional<double>(i) : std::nullopt});
        QVERIFY(flapping.Samples().size() <= 3 * 171);
        QCOMPARE(NiceTicks(0, 0, 3, 1), (std::vector<double>{0, 1}));  // whole counts
    }
};

QTEST_GUILESS_MAIN(TstCore)
#include "tst_core.moc"

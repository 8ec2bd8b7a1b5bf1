#include <QtTest>

#include <QFileInfo>

#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/QtSerialComm.h"
#include "support/FrameVectors.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::SimProcess;

namespace {

// Module 32000 attached, module 5 to its left: answers are the hand-written vectors.
const QByteArray kTwoModules =
    "[module 32000]\nside = G\nversion = 34\nmode = 0xC6\nch2_error = 1\nch2_count = 32767\n"
    "ch1_count = 258\n"
    "[module 5]\nside = L\nversion = 12\nmode = 0x85\nch1_error = 1\nch1_count = 3\n";

template <std::size_t N>
QByteArray Bytes(const std::array<std::uint8_t, N>& a) {
    return QByteArray(reinterpret_cast<const char*>(a.data()), static_cast<qsizetype>(N));
}

// Reads from the port while the event loop runs, until n bytes arrived.
QByteArray ReadAtLeast(MSComm& port, int n, int timeoutMs = 10000) {
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < n && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (port.InBufferCount() > 0) {
            got += port.Input();
        }
        QThread::msleep(1);
    }
    return got;
}

class Holder {
  public:
    explicit Holder(const QString& device) {
        p.setProgram(QStringLiteral(PORTHOLD_PATH));
        p.setArguments({device});
        p.start();
    }
    ~Holder() { Release(); }
    QByteArray Result() {
        while (!p.canReadLine() && p.waitForReadyRead(10000)) {
        }
        return p.readLine().trimmed();
    }
    void Release() {
        p.closeWriteChannel();
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
        }
    }
    QProcess p;
};

}  // namespace

class TstSerialPort : public QObject {
    Q_OBJECT
  private slots:
    void scanAnswersArriveIntactWithZeroBytes() {
        SimProcess sim({"--no-pacing"}, kTwoModules);
        QVERIFY(sim.Start());
        Global g;
        QtSerialComm port;
        port.Map().SetDevice(2, sim.LinkPath());
        QVERIFY(port.SetCommPort(2));
        QCOMPARE(port.SetPortOpen(true), 0);
        QVERIFY(port.PortOpen());
        QVERIFY(SendCommand(g, port, kCmdScan));
        const QByteArray got = ReadAtLeast(port, 22);
        QCOMPARE(got.toHex(' '),
                 (Bytes(vectors::kAttached32000) + Bytes(vectors::kLeft5)).toHex(' '));
    }

    void closedPortHasNothingAndTakesNothing() {
        QtSerialComm port;
        QVERIFY(!port.PortOpen());
        QCOMPARE(port.InBufferCount(), 0);
        QVERIFY(port.Input().isEmpty());
        QVERIFY(!port.Output("G"));
        QCOMPARE(port.SetPortOpen(false), 0);  // closing a closed port is harmless
    }

    void missingDeviceIs8002_data() {
        QTest::addColumn<QString>("device");
        QTest::newRow("no such path") << "/nonexistent/ttyQ9";
        QTest::newRow("dangling symlink") << "dangling";
    }
    void missingDeviceIs8002() {
        QFETCH(QString, device);
        QTemporaryDir dir;
        if (device == "dangling") {
            device = dir.filePath("dangling");
            QVERIFY(QFile::link(dir.filePath("gone"), device));
        }
        QtSerialComm port;
        port.Map().SetDevice(3, device);
        QVERIFY(port.SetCommPort(3));
        QCOMPARE(port.SetPortOpen(true), int(MSComm::kErrNoSuchPort));
        QCOMPARE(port.LastError(), int(MSComm::kErrNoSuchPort));
        QVERIFY(!port.PortOpen());
    }

    void portHeldByAnotherProcessIs8005UnderEveryName() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        Holder holder(sim.LinkPath());
        QCOMPARE(holder.Result(), QByteArray("open 0"));

        const QString canonical = QFileInfo(sim.LinkPath()).canonicalFilePath();
        for (const QString& name : {sim.LinkPath(), canonical}) {
            QtSerialComm port;
            port.Map().SetDevice(1, name);
            QCOMPARE(port.SetPortOpen(true), int(MSComm::kErrPortInUse));
            QVERIFY(!port.PortOpen());
        }

        holder.Release();
        QtSerialComm port;
        port.Map().SetDevice(1, sim.LinkPath());
        QCOMPARE(port.SetPortOpen(true), 0);
    }

    void deviceLockedByAnyProgramIs8005() {
        // A program that only takes the advisory lock (no Qt lock file, no TIOCEXCL).
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        QProcess locker;
        locker.start("flock", {"--exclusive", QFileInfo(sim.LinkPath()).canonicalFilePath(), "-c",
                               "echo locked; read line"});
        QVERIFY(locker.waitForReadyRead(10000));
        QCOMPARE(locker.readLine().trimmed(), QByteArray("locked"));
        QtSerialComm port;
        port.Map().SetDevice(1, sim.LinkPath());
        QCOMPARE(port.SetPortOpen(true), int(MSComm::kErrPortInUse));
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(10000));
        QCOMPARE(port.SetPortOpen(true), 0);
    }

    void portHeldInThisProcessIs8005() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        QtSerialComm first;
        first.Map().SetDevice(1, sim.LinkPath());
        QCOMPARE(first.SetPortOpen(true), 0);
        QtSerialComm second;
        second.Map().SetDevice(1, sim.LinkPath());
        QCOMPARE(second.SetPortOpen(true), int(MSComm::kErrPortInUse));
        first.SetPortOpen(false);
        QCOMPARE(second.SetPortOpen(true), 0);
    }

    void commPortCannotChangeWhileOpen() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        QtSerialComm port;
        port.Map().SetDevice(2, sim.LinkPath());
        QVERIFY(port.SetCommPort(2));
        QCOMPARE(port.SetPortOpen(true), 0);
        QVERIFY(!port.SetCommPort(3));
        QCOMPARE(port.CommPort(), 2);
        QCOMPARE(port.SetPortOpen(true), 0);  // opening again leaves it open
        QVERIFY(port.PortOpen());
        QCOMPARE(port.SetPortOpen(false), 0);
        QVERIFY(port.SetCommPort(3));
        QVERIFY(!port.SetCommPort(0));
        QVERIFY(!port.SetCommPort(5));
        QCOMPARE(port.CommPort(), 3);
    }

    void reopenedPortStartsWithoutStaleBytes() {
        SimProcess sim({"--no-pacing", "--log", "{dir}/sim.log"}, kTwoModules);
        QVERIFY(sim.Start());
        Global g;
        QtSerialComm port;
        port.Map().SetDevice(1, sim.LinkPath());
        QCOMPARE(port.SetPortOpen(true), 0);
        QVERIFY(SendCommand(g, port, kCmdScan));
        QVERIFY(port.WaitForWritten(5000));
        port.SetPortOpen(false);
        // Wait until the simulator has sent both scan answers into the closed port.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile log(sim.FilePath("sim.log"));
                return log.open(QIODevice::ReadOnly) && log.readAll().count(" tx ") == 2;
            }(),
            10000);
        QCOMPARE(port.SetPortOpen(true), 0);
        g.TxByte1 = 0x2C;  // module 300 is not in the system: no answer
        g.TxByte2 = 0x01;
        QVERIFY(SendCommand(g, port, kCmdQuery));
        g.TxByte1 = 5;
        g.TxByte2 = 0;
        QVERIFY(SendCommand(g, port, kCmdQuery));
        const QByteArray got = ReadAtLeast(port, 11);
        auto expected = vectors::kLeft5;
        expected[0] = 'P';
        QCOMPARE(got.toHex(' '), Bytes(expected).toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TstSerialPort)
#include "tst_serialport.moc"

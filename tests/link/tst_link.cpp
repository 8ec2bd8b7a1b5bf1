// The serial port and the link on it, against the simulator on a pseudo-terminal.

#include <QtTest>

#include <QFileInfo>
#include <QSerialPort>

#include <functional>
#include <memory>

#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "session/BusScan.h"
#include "session/BusWatch.h"
#include "session/PortTests.h"
#include "session/RelayApply.h"
#include "support/FrameVectors.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::SimProcess;

namespace {

// Module 32000 attached, module 5 to its left: their answers are the hand-written vectors.
const QByteArray kTwoModules =
    "[module 32000]\nside = G\nversion = 34\nmode = 0xC6\nch2_error = 1\nch2_count = 32767\n"
    "ch1_count = 258\n"
    "[module 5]\nside = L\nversion = 12\nmode = 0x85\nch1_error = 1\nch1_count = 3\n";

QByteArray ReadAtLeast(MSComm& port, int n) {
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += port.Input(n);
            return got.size() >= n;
        },
        10000);
    return got;
}

// The outcomes of a port test, once it has ended.
std::vector<PortTest> Tested(const QStringList& devices, int limitMs,
                             const PortTests::Test& test = OpenAndClose) {
    auto* tests = new PortTests(nullptr);
    QSignalSpy ended(tests, &PortTests::finished);
    tests->Start({devices, std::nullopt}, limitMs, test);
    return ended.wait(limitMs + 10000) ? ended[0][0].value<std::vector<PortTest>>()
                                       : std::vector<PortTest>();
}

// A link on the simulator's line, polling.
std::unique_ptr<ModuleLink> LinkOn(Global& g, const QString& device) {
    auto comm = std::make_unique<QtSerialComm>();
    comm->OpenDevice(device);
    auto link = std::make_unique<ModuleLink>(g, std::move(comm));
    link->StartTimers();
    return link;
}

// Runs a scan to its end.
ScanOutcome Scan(ModuleLink& link) {
    auto* scan = new BusScan(link);
    QSignalSpy ended(scan, &BusScan::finished);
    if (!scan->Start() || !ended.wait(20000))
        return ScanOutcome::Stopped;
    return ended[0][0].value<ScanOutcome>();
}

int Open(QtSerialComm& port, const QString& device) {
    port.Map().SetDevice(1, device);
    return port.SetPortOpen(true);
}

}  // namespace

class TstLink : public QObject {
    Q_OBJECT
  private slots:
    void bytesTravelUnchangedZerosIncluded() {
        SimProcess sim({"--no-pacing"}, kTwoModules);
        QVERIFY(sim.Start());
        QtSerialComm port;
        port.Map().SetDevice(2, sim.LinkPath());
        QVERIFY(port.SetCommPort(2));
        QCOMPARE(port.SetPortOpen(true), 0);
        QVERIFY(!port.SetCommPort(3));        // not while open
        QCOMPARE(port.SetPortOpen(true), 0);  // opening again leaves it open
        QVERIFY(WriteFrame(port, BuildCommandFrame(kCmdScan, 1, 2, 3)));
        const auto answer = [](const auto& v) {
            return QByteArray(reinterpret_cast<const char*>(v.data()), 11);
        };
        QCOMPARE(ReadAtLeast(port, 22).toHex(' '),
                 (answer(vectors::kAttached32000) + answer(vectors::kLeft5)).toHex(' '));
        port.SetPortOpen(false);
        QCOMPARE(port.InBufferCount(), 0);
        QVERIFY(!port.Output("G"));
    }

    // Two copies of the program on one port: each sees the other's as in use under every name
    // of the device, and free once it lets go. Qt's lock file is taken away each time, as a
    // copy in another sandbox or after a cleaned lock folder never sees it: ours must hold.
    void portHeldByAnotherCopyIs8005UnderEveryName() {
        SimProcess sim({"--no-pacing"});
        QVERIFY(sim.Start());
        const QString device = QFileInfo(sim.LinkPath()).canonicalFilePath();
        const QString qtLock = "/var/lock/LCK.." + device.mid(5).replace('/', '_');
        QProcess other;
        other.setReadChannel(QProcess::StandardError);
        other.start(QUORVAL_CLI_PATH, {"--port", sim.LinkPath(), "monitor"});
        QVERIFY(other.waitForReadyRead(10000));  // "listening": it holds the port
        QVERIFY(QFile::remove(qtLock));
        for (const QString& name : {sim.LinkPath(), device}) {
            QtSerialComm port;
            QCOMPARE(Open(port, name), int(MSComm::kErrPortInUse));
        }
        other.terminate();
        QVERIFY(other.waitForFinished(10000));
        QtSerialComm port;
        QCOMPARE(Open(port, sim.LinkPath()), 0);
        QVERIFY(QFile::remove(qtLock));
        const testing_support::Run second = testing_support::Cli({"--port", device, "scan"});
        QCOMPARE(second.code, 3);
        QVERIFY2(second.err.contains("in use"), qPrintable(second.err));
    }

    // Re-plugged, the adapter gets another device; the next open finds it by its by-id name.
    void replugGetsTheSameComNumber() {
        SimProcess before({"--no-pacing"}), after({"--no-pacing"});
        QVERIFY(before.Start() && after.Start());
        const PortInfo adapter{
            before.LinkPath(), "usb-FTDI_A1-if00-port0", "", "", "", "A1", 0x0403, 0x6001,
            PortKind::Usb};
        std::vector<PortInfo> ports{{"/dev/ttyUSB0", "usb-Prolific_B2-if00-port0", "", "", "", "B2",
                                     0x067b, 0x2303, PortKind::Usb},
                                    adapter};
        QtSerialComm port{PortMap([&] { return ports; })};
        QCOMPARE(port.SetPortOpen(true), 0);
        QCOMPARE(port.DeviceName(1), before.LinkPath());
        port.SetPortOpen(false);
        before.Stop();
        ports[1].device = after.LinkPath();
        QCOMPARE(port.SetPortOpen(true), 0);
        QCOMPARE(port.DeviceName(1), after.LinkPath());
        port.SetPortOpen(false);
        // One test per device, whatever its name, or it would find itself in use.
        const QString device = QFileInfo(after.LinkPath()).canonicalFilePath();
        // As long as the opens take: the limit is for drivers that hang.
        const std::vector<PortTest> tests = Tested({after.LinkPath(), device}, 20000);
        QCOMPARE(tests.size(), std::size_t(2));
        QCOMPARE(tests[0].error, 0);
        QCOMPARE(tests[1].error, 0);
    }

    // A driver that never returns from an open costs the test its time limit, no more. The
    // limit leaves the other tests time enough on a loaded machine: the test waits for them.
    void hungOpenReadsAsNotResponding() {
        auto driver = std::make_shared<QSemaphore>();
        auto ended = std::make_shared<QAtomicInt>(0);
        const auto test = [driver, ended](const QString& device) {
            if (device == "hung") {
                driver->acquire();
                ended->ref();
            }
            return PortTest{device == "busy" ? MSComm::kErrPortInUse : 0, {}};
        };
        QList<int> errors;
        for (const PortTest& t : Tested({"hung", "free", "busy"}, 1500, test))
            errors << t.error;
        QCOMPARE(errors, (QList<int>{MSComm::kErrNotResponding, 0, MSComm::kErrPortInUse}));
        driver->release();
        QTRY_COMPARE(ended->loadRelaxed(), 1);  // its thread ends when the driver lets go
    }

    // A paced line with noise and stalls inside frames, cut by every poll: the scan waits
    // through the stalls and takes all sixteen.
    void noisyPacedScanOfSixteenModulesFindsAll() {
        const QByteArray faults = "noise = 00 FF 0A 0D 44\nsplit = 5\nsplit_ms = 130\n";
        // 1 attached, 8 to the left (101..108), 7 to the right (201..207), nearest first.
        QByteArray ini = "[module 1]\nside = G\n";
        for (int i = 1; i <= 8; ++i)
            ini += "[module " + QByteArray::number(100 + i) + "]\nside = L\n" +
                   (i % 3 == 0 ? faults : QByteArray());
        for (int i = 1; i <= 7; ++i)
            ini += "[module " + QByteArray::number(200 + i) + "]\nside = R\n" +
                   (i % 3 == 1 ? faults : QByteArray());
        SimProcess sim({}, ini);
        QVERIFY(sim.Start());
        Global g;
        const auto link = LinkOn(g, sim.LinkPath());
        int reads = 0;
        connect(link.get(), &ModuleLink::BytesArrived, [&] { ++reads; });
        QCOMPARE(Scan(*link), ScanOutcome::Found);
        QVERIFY2(reads > 1, "the burst should have been cut by the poll");
        QList<int> order;
        for (int i = 0; i < g.Bus.ModuleCount; ++i)
            order << g.Bus.ModuleOrder(i);
        QCOMPARE(order, (QList<int>{1, 101, 102, 103, 104, 105, 106, 107, 108, 207, 206, 205, 204,
                                    203, 202, 201}));
    }

    // The port opened on another adapter before the pulled one's close ran stays open; that
    // line then stalls, and a frame reported as not sent in time never leaves later.
    void lostAndStalledPortsSayOnlyWhatHappened() {
        SimProcess gone({"--no-pacing"}, "[system]\nhangup_after_rx = 1\n[module 1]\nside = G\n");
        SimProcess next({"--no-pacing", "--log", "{dir}/f.log"},
                        "[system]\nstall_after_rx = 1\nstall_ms = 4000\n[module 7]\nside = G\n");
        QVERIFY(gone.Start() && next.Start());
        Global g;
        auto owned = std::make_unique<QtSerialComm>();
        QtSerialComm& port = *owned;
        QCOMPARE(Open(port, gone.LinkPath()), 0);
        ModuleLink link(g, std::move(owned));
        link.StartTimers();
        QStringList told;
        connect(&link, &ModuleLink::LinkLost, [&](const QString& why) { told << why; });
        // Right after the port noticed the loss, before anything else runs.
        connect(port.findChild<QSerialPort*>(), &QSerialPort::errorOccurred, [&] {
            port.MapPort(1, next.LinkPath());
            port.SetPortOpen(true);
        });
        QVERIFY(link.SendCommand(kCmdScan));  // it hangs up on this frame
        QTRY_COMPARE(told.size(), 1);
        QCOMPARE(Scan(link), ScanOutcome::Found);            // the last frame read for a while
        QVERIFY(port.Output(QByteArray(256 * 1024, '\0')));  // fills the terminal
        auto* apply = new RelayApply(link);
        QSignalSpy applied(apply, &RelayApply::finished);
        QVERIFY(apply->Start(7, 0x20, false));
        QVERIFY(applied.wait(10000));
        QCOMPARE(applied[0][0].value<ApplyOutcome>(), ApplyOutcome::Refused);
        QCOMPARE(int(g.Bus.Modules(7).GetMode()), 0x05);  // as the module said, not as we wished
        g.Bus.ModuleCount = 0;                            // once it reads again, after its stall
        QVERIFY(link.SendCommand(kCmdScan));
        QTRY_COMPARE_WITH_TIMEOUT(int(g.Bus.ModuleCount), 1, 10000);
        QCOMPARE(next.LoggedFrames("f.log"), QStringList(2, "47 00 00 00 0A 0D 00"));
        QCOMPARE(told.size(), 1);
    }

    // Stop within a round lets that round end whole; a stop request gives it up unsaid.
    void watchStopsWithinARound() {
        SimProcess sim({"--log", "{dir}/f.log"},
                       "[module 1]\nside = G\n[module 2]\nside = L\n[module 3]\nside = R\n");
        QVERIFY(sim.Start());
        Global g;
        const auto link = LinkOn(g, sim.LinkPath());
        BusWatch watch(g, *link);
        watch.SetInterval(1000);
        QList<WatchRound> rounds;
        connect(&watch, &BusWatch::RoundDone, [&](const WatchRound& r) { rounds << r; });
        QSignalSpy finished(&watch, &BusWatch::Finished);
        watch.Start();
        QTRY_COMPARE_WITH_TIMEOUT(rounds.size(), 1, 10000);
        // In the next round, as the first answers come in.
        const auto inRound = [&](const std::function<void()>& act) {
            connect(link.get(), &ModuleLink::BytesArrived, link.get(), act,
                    Qt::SingleShotConnection);
        };
        inRound([&] { watch.Stop(); });
        QVERIFY(finished.wait(10000));
        QCOMPARE(rounds.size(), 2);
        QCOMPARE(rounds[1].samples.size(), std::size_t(3));  // the round ended whole
        QCOMPARE(sim.LoggedFrames("f.log").size(), 2);

        watch.Start();
        inRound([&] { link->RequestStop(); });
        QVERIFY(finished.wait(10000));
        QCOMPARE(rounds.size(), 2);  // half a round is no sample
        QVERIFY(!watch.Running() && !link->Busy());
    }
};

QTEST_GUILESS_MAIN(TstLink)
#include "tst_link.moc"

// The link as the program runs it: real port, both timers, the paced simulator.

#include <QtTest>

#include "common/EventYield.h"
#include "common/Global.h"
#include "link/CommandFrame.h"
#include "link/ModuleLink.h"
#include "link/QtSerialComm.h"
#include "support/SimProcess.h"

using namespace quorval;
using testing_support::SimProcess;

class TstLinkPty : public QObject {
    Q_OBJECT
  private slots:
    void pacedScanOfSixteenModulesFindsAll_data() {
        QTest::addColumn<QByteArray>("faults");
        QTest::newRow("clean line") << QByteArray();
        QTest::newRow("noisy line, stalls inside frames")
            << QByteArray("noise = 00 FF 0A 0D 44\nsplit = 5\nsplit_ms = 130\n");
    }
    void pacedScanOfSixteenModulesFindsAll() {
        QFETCH(QByteArray, faults);
        // 1 attached, 8 to the left (101..108), 7 to the right (201..207), nearest first.
        QByteArray ini = "[module 1]\nside = G\n";
        for (int i = 1; i <= 8; ++i) {
            ini += "[module " + QByteArray::number(100 + i) + "]\nside = L\n";
            if (i % 3 == 0)
                ini += faults;
        }
        for (int i = 1; i <= 7; ++i) {
            ini += "[module " + QByteArray::number(200 + i) + "]\nside = R\n";
            if (i % 3 == 1)
                ini += faults;
        }
        SimProcess sim({}, ini);
        QVERIFY(sim.Start());
        Global g;
        auto comm = std::make_unique<QtSerialComm>();
        QCOMPARE(comm->OpenDevice(sim.LinkPath()), 0);
        ModuleLink link(g, std::move(comm));
        int passesWithBytes = 0;
        connect(&link, &ModuleLink::DebugLine,
                [&](const QString& l) { passesWithBytes += l.startsWith("Bytes received: "); });
        link.StartTimers();
        QVERIFY(link.SendCommand(kCmdScan));
        QVERIFY(WaitUntil([&] { return g.Bus.ModuleCount == 16; }, 15000));
        QVERIFY2(passesWithBytes > 1, "the burst should have been cut by the poll");
        QList<int> order;
        for (int i = 0; i < g.Bus.ModuleCount; ++i)
            order << g.Bus.ModuleOrder(i);
        // Left modules in the order found, then the right ones farthest first.
        QCOMPARE(order, (QList<int>{1, 101, 102, 103, 104, 105, 106, 107, 108, 207, 206, 205, 204,
                                    203, 202, 201}));
        QCOMPARE(int(g.GModuleID), 1);
    }
};

QTEST_GUILESS_MAIN(TstLinkPty)
#include "tst_linkpty.moc"

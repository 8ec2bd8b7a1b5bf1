#include <QtTest>

#include "bus/ModuleTable.h"

using namespace quorval;

namespace {

// Fills the order with the given IDs and sides, as the parser would.
void Fill(ModuleTable& t, const QList<int>& ids, const QByteArray& sides) {
    t.ModuleCount = 0;
    for (int i = 0; i < ids.size(); ++i) {
        t.Modules(ids[i]).SetSide(static_cast<std::uint8_t>(sides[i]));
        QVERIFY(t.AppendToOrder(ids[i]));
    }
}

QList<int> Order(const ModuleTable& t) {
    QList<int> out;
    for (int i = 0; i < t.ModuleCount; ++i) {
        out << t.ModuleOrder(i);
    }
    return out;
}

}  // namespace

class TstModuleTable : public QObject {
    Q_OBJECT
  private slots:
    void sortPutsLeftInFoundOrderThenOthersReversed_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QByteArray>("sides");
        QTest::addColumn<QList<int>>("sorted");
        QTest::newRow("mixed") << QList<int>{1, 2, 3, 4, 5} << QByteArray("GLRLR")
                               << QList<int>{1, 2, 4, 5, 3};
        QTest::newRow("all right reversed")
            << QList<int>{9, 8, 7, 6} << QByteArray("GRRR") << QList<int>{9, 6, 7, 8};
        QTest::newRow("all left kept")
            << QList<int>{9, 8, 7, 6} << QByteArray("GLLL") << QList<int>{9, 8, 7, 6};
        QTest::newRow("position 0 never moves, even when L")
            << QList<int>{4, 3, 2} << QByteArray("LRL") << QList<int>{4, 2, 3};
        QTest::newRow("G and side 0 count as not L")
            << QList<int>{1, 2, 3, 4} << QByteArray("GG\0L", 4) << QList<int>{1, 4, 3, 2};
        QTest::newRow("one module") << QList<int>{42} << QByteArray("R") << QList<int>{42};
        QTest::newRow("none") << QList<int>{} << QByteArray() << QList<int>{};
    }
    void sortPutsLeftInFoundOrderThenOthersReversed() {
        QFETCH(QList<int>, ids);
        QFETCH(QByteArray, sides);
        QFETCH(QList<int>, sorted);
        ModuleTable t;
        Fill(t, ids, sides);
        t.SortModulesBySide();
        QCOMPARE(Order(t), sorted);
        t.SortModulesBySide();  // sorting again must not flip the others back
        QCOMPARE(Order(t), sorted);
    }

    void minVersionOnlyFalls() {
        ModuleTable t;
        QCOMPARE(int(t.MinVersion), 255);
        t.Modules(1).SetVersion(40);
        QCOMPARE(int(t.MinVersion), 40);
        t.Modules(2).SetVersion(31);
        QCOMPARE(int(t.MinVersion), 31);
        t.Modules(3).SetVersion(50);
        QCOMPARE(int(t.MinVersion), 31);
        QCOMPARE(int(t.Modules(3).GetVersion()), 50);
        // A reset (as a new scan does) lets the next versions count afresh.
        t.MinVersion = 255;
        t.Modules(1).SetVersion(45);
        QCOMPARE(int(t.MinVersion), 45);
    }

    void unknownModuleReadsAsEmptyRecordAndKeepsIt() {
        ModuleTable t;
        QVERIFY(!t.HasRecord(500));
        ModuleData& r = t.Modules(500);
        QVERIFY(t.HasRecord(500));
        QCOMPARE(int(r.GetModuleID()), 0);
        QCOMPARE(int(r.GetVersion()), 0);
        QCOMPARE(int(r.GetMode()), 0);
        QCOMPARE(int(r.GetSide()), 0);
        QCOMPARE(r.GetStatusChannel1(), false);
        QCOMPARE(r.GetStatusChannel2(), false);
        QCOMPARE(int(r.GetErrorCounterChannel1()), 0);
        QCOMPARE(int(r.GetErrorCounterChannel2()), 0);
        QCOMPARE(r.GetTimeStamp(), 0.0f);
        r.SetMode(0x35);
        r.SetErrorCounterChannel2(32767);
        QCOMPARE(&t.Modules(500), &r);
        QCOMPARE(int(t.Modules(500).GetMode()), 0x35);
        QCOMPARE(int(t.Modules(500).GetErrorCounterChannel2()), 32767);
    }

    void idsOutsideTheTableNeverReachIt_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("-1") << -1;
        QTest::newRow("32001") << 32001;
        QTest::newRow("65535") << 65535;
        QTest::newRow("-32768") << -32768;
    }
    void idsOutsideTheTableNeverReachIt() {
        QFETCH(int, id);
        ModuleTable t;
        ModuleData& sink = t.Modules(id);
        sink.SetVersion(1);
        sink.SetMode(0xFF);
        QCOMPARE(int(t.MinVersion), 255);           // a stray record must not gate anything
        QCOMPARE(int(t.Modules(id).GetMode()), 0);  // and keeps nothing
        QVERIFY(!t.HasRecord(id));
        QVERIFY(!t.AppendToOrder(id));
        QCOMPARE(int(t.ModuleCount), 0);
        QVERIFY(!t.IsInOrder(id));
        QCOMPARE(int(t.ModuleOrder(id)), 0);
    }

    void edgeIdsAreStored_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("0") << 0;
        QTest::newRow("32000") << 32000;
    }
    void edgeIdsAreStored() {
        QFETCH(int, id);
        ModuleTable t;
        t.Modules(id).SetModuleID(static_cast<std::int16_t>(id));
        QVERIFY(t.AppendToOrder(id));
        QVERIFY(t.IsInOrder(id));
        QCOMPARE(int(t.ModuleOrder(0)), id);
        QCOMPARE(int(t.Modules(id).GetModuleID()), id);
    }

    void duplicateTestOnlySeesValidPositions() {
        ModuleTable t;
        QVERIFY(t.AppendToOrder(7));
        QVERIFY(t.AppendToOrder(8));
        QVERIFY(t.IsInOrder(8));
        t.ModuleCount = 1;  // as a new scan that has counted one module so far
        QVERIFY(t.IsInOrder(7));
        QVERIFY(!t.IsInOrder(8));
    }

    void orderHoldsEveryPossibleModule() {
        ModuleTable t;
        for (int id = 0; id <= kMaxModuleID; ++id) {
            QVERIFY(t.AppendToOrder(id));
        }
        QCOMPARE(int(t.ModuleCount), kModuleSlots);
        QVERIFY(!t.AppendToOrder(5));  // full: never writes past the end
        QCOMPARE(int(t.ModuleCount), kModuleSlots);
        t.SortModulesBySide();  // all sides 0: everything after position 0 reversed
        QCOMPARE(int(t.ModuleOrder(0)), 0);
        QCOMPARE(int(t.ModuleOrder(1)), kMaxModuleID);
        QCOMPARE(int(t.ModuleOrder(kMaxModuleID)), 1);
    }
};

QTEST_APPLESS_MAIN(TstModuleTable)
#include "tst_moduletable.moc"

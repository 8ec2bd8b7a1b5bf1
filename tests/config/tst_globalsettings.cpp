#include <QtTest>

#include "common/Global.h"
#include "config/GlobalSettingsModel.h"
#include "config/ProgrammingRun.h"

using namespace quorval;
using Topology = GlobalSettingsModel::Topology;

namespace {

// Line / Ring selected but disabled: the state in which every effect of a rule shows.
void StartDisabled(GlobalSettingsModel& m, std::uint8_t v) {
    m.SelectBaud("500 KBit/s", v);
    if (m.LineOrRingEnabled()) {
        m.SelectBaud("1 MBit/s", v);
    }
    m.SelectTopology(Topology::LineOrRing);
}

}  // namespace

class TstGlobalSettings : public QObject {
    Q_OBJECT
  private slots:
    void baudRateRules_data() {
        QTest::addColumn<int>("minVersion");
        QTest::addColumn<bool>("bit29");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<bool>("pointToPoint");
        QTest::addColumn<bool>("lineEnabled");
        QTest::newRow("125, 11 bit, 3.3: enable and select point to point")
            << 33 << false << "125 KBit/s" << true << true;
        QTest::newRow("125, 11 bit, 3.4: nothing") << 34 << false << "125 KBit/s" << false << false;
        QTest::newRow("10, 29 bit, 3.3: nothing") << 33 << true << "10 KBit/s" << false << false;
        QTest::newRow("100, 11 bit, none seen: nothing")
            << 255 << false << "100 KBit/s" << false << false;
        QTest::newRow("250, 2.4: forced point to point")
            << 24 << false << "250 KBit/s" << true << false;
        QTest::newRow("250, 11 bit, 2.5: enabled") << 25 << false << "250 KBit/s" << false << true;
        QTest::newRow("250, 11 bit, 3.3: enabled") << 33 << false << "250 KBit/s" << false << true;
        QTest::newRow("250, 11 bit, 3.4: nothing") << 34 << false << "250 KBit/s" << false << false;
        QTest::newRow("250, 29 bit, 3.3: nothing") << 33 << true << "250 KBit/s" << false << false;
        QTest::newRow("500, 2.9: forced") << 29 << false << "500 KBit/s" << true << false;
        QTest::newRow("500, 11 bit, 3.0: enabled") << 30 << false << "500 KBit/s" << false << true;
        QTest::newRow("500, 11 bit, 3.4: forced") << 34 << false << "500 KBit/s" << true << false;
        QTest::newRow("500, 29 bit, 3.3: forced") << 33 << true << "500 KBit/s" << true << false;
        QTest::newRow("500, none seen: forced") << 255 << false << "500 KBit/s" << true << false;
        QTest::newRow("1M, 3.0: forced") << 30 << false << "1 MBit/s" << true << false;
        QTest::newRow("1M, 2.9: nothing") << 29 << false << "1 MBit/s" << false << false;
        QTest::newRow("1M, none seen: forced") << 255 << true << "1 MBit/s" << true << false;
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
        QCOMPARE(m.Is29Bit(), bit29);
        StartDisabled(m, v);
        QVERIFY(!m.LineOrRingEnabled());
        QVERIFY(m.SelectBaud(baud, v));
        QCOMPARE(m.SelectedTopology() == Topology::PointToPoint, pointToPoint);
        QCOMPARE(m.LineOrRingEnabled(), lineEnabled);
    }

    void setPropertiesBelow33ForbidsAndForces29Bit() {
        GlobalSettingsModel m;
        m.SetProperties(255);
        m.SelectIdentifier(true, 255);
        m.SelectBaud("500 KBit/s", 255);
        m.SetProperties(32);
        QVERIFY(!m.Is29Bit());
        QVERIFY(!m.Identifier29Enabled());
        QCOMPARE(m.SelectedBaud(), QString("500 KBit/s"));
        QVERIFY(m.LineOrRingEnabled());  // 500 with 11 bit at 3.2 leaves it selectable
        m.SetProperties(40);  // a later scan with newer firmware does not bring 29 bit back
        QVERIFY(!m.Identifier29Enabled());
        m.SetProperties(33);  // 33 is not below 33
        QVERIFY(!m.Identifier29Enabled());
        GlobalSettingsModel fresh;
        fresh.SetProperties(33);
        QVERIFY(fresh.Identifier29Enabled());
    }

    void setPropertiesWith29BitDropsOneMegabit() {
        GlobalSettingsModel m;
        m.SetProperties(34);
        m.SelectBaud("1 MBit/s", 34);
        m.SelectIdentifier(true, 34);
        QCOMPARE(m.BaudList().size(), 7);
        QVERIFY(!m.BaudList().contains("1 MBit/s"));
        QCOMPARE(m.SelectedBaud(), QString("500 KBit/s"));
        QCOMPARE(m.SelectedTopology(), Topology::PointToPoint);
        QVERIFY(!m.LineOrRingEnabled());
        QVERIFY(!m.SelectBaud("1 MBit/s", 34));
        m.SelectIdentifier(false, 34);  // back to 11 bit: the full list, line/ring allowed again
        QCOMPARE(m.BaudList().size(), 8);
        QCOMPARE(m.SelectedBaud(), QString("500 KBit/s"));
    }

    void setPropertiesWithoutModulesLeavesTheOptions() {
        GlobalSettingsModel m;
        m.SetProperties(255);
        m.SelectIdentifier(true, 255);
        QVERIFY(m.Is29Bit());
        QCOMPARE(m.BaudList().size(), 8);
        QCOMPARE(m.SelectedTopology(), Topology::LineOrRing);
        QVERIFY(m.LineOrRingEnabled());
        QVERIFY(m.SelectedBaud().isEmpty());  // nothing selected until something selects it
    }

    void modeByteOfTheChoices() {
        GlobalSettingsModel m;
        m.SetProperties(255);
        QCOMPARE(int(m.ModeByte()), 0x10);  // Line/Ring, 11 bit, relay entry 1, no baud rate
        m.SelectIdentifier(true, 255);
        m.SelectTopology(Topology::PointToPoint);
        m.SetRelayText("CH1_Error OR CH2_Error");
        m.SelectBaud("250 KBit/s", 255);
        QCOMPARE(int(m.ModeByte()), 0xE6);
        GlobalSettingsModel n;
        n.SetProperties(255);
        n.SelectBaud("125 KBit/s", 255);
        n.SetRelayText("CH1_Error AND CH2_Error");
        QCOMPARE(int(n.ModeByte()), 0x05);
        n.SetRelayText("ch1_error or ch2_error");  // other case counts as entry 0
        QCOMPARE(int(n.ModeByte()), 0x05);
    }

    void reportedModesAreShown() {
        GlobalSettingsModel m;
        m.SetProperties(34);
        m.SelectBaud("125 KBit/s", 34);
        m.SelectTopology(Topology::PointToPoint);
        m.ShowReportedMode(0x00, 34);
        QCOMPARE(m.SelectedTopology(), Topology::LineOrRing);
        QVERIFY(!m.Is29Bit());
        QCOMPARE(m.RelayText(), QString("CH1_Error AND CH2_Error"));
        QCOMPARE(m.SelectedBaud(), QString("125 KBit/s"));  // code 0: unchanged

        m.ShowReportedMode(0xF8, 34);
        QVERIFY(m.Is29Bit());
        QCOMPARE(m.RelayText(), QString("NOT CH1_Error OR NOT CH2_Error"));
        QCOMPARE(m.SelectedTopology(), Topology::PointToPoint);
        QVERIFY(!m.LineOrRingEnabled());
        QCOMPARE(m.SelectedBaud(), QString("125 KBit/s"));  // no 1 MBit/s with 29 bit at 3.4

        GlobalSettingsModel none;
        none.SetProperties(255);
        none.ShowReportedMode(0xF8, 255);
        QCOMPARE(none.SelectedBaud(), QString("1 MBit/s"));
        QCOMPARE(none.SelectedTopology(), Topology::PointToPoint);
        QVERIFY(!none.LineOrRingEnabled());
    }

    void programmingOrderIsTheLastScanAscendingAttachedLast() {
        Global g;
        g.Bus.Modules(7).SetModuleID(7);  // an earlier scan's module, gone now
        for (int id : {3, 9, 5, 0}) {
            g.Bus.Modules(id).SetModuleID(static_cast<std::int16_t>(id));
            g.Bus.AppendToOrder(id);
        }
        g.GModuleID = 3;
        QCOMPARE(ProgrammingOrder(g), (std::vector<int>{0, 5, 9, 3}));
        g.Bus.ModuleCount = 1;
        QCOMPARE(ProgrammingOrder(g), (std::vector<int>{3}));
        g.Bus.ModuleCount = 0;
        QVERIFY(ProgrammingOrder(g).empty());
    }
};

QTEST_APPLESS_MAIN(TstGlobalSettings)
#include "tst_globalsettings.moc"

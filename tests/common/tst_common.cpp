#include <QtTest>

#include "common/Bits.h"

using namespace quorval;

class TstCommon : public QObject {
    Q_OBJECT
  private slots:
    void byteToBitsIsMostSignificantFirst_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("bits");
        QTest::newRow("0x85") << 0x85 << "10000101";
        QTest::newRow("0x00") << 0x00 << "00000000";
        QTest::newRow("0xFF") << 0xFF << "11111111";
        QTest::newRow("0x01 lowest bit last") << 0x01 << "00000001";
        QTest::newRow("0x80 highest bit first") << 0x80 << "10000000";
        QTest::newRow("0xA5") << 0xA5 << "10100101";
    }
    void byteToBitsIsMostSignificantFirst() {
        QFETCH(int, value);
        QFETCH(QString, bits);
        QCOMPARE(QString::fromStdString(ByteToBits(static_cast<std::uint8_t>(value))), bits);
    }

    void degToRadCorrectsOnceAndWritesBack_data() {
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("in range") << 90 << 90;
        QTest::newRow("zero") << 0 << 0;
        QTest::newRow("359 stays") << 359 << 359;
        QTest::newRow("360 wraps to 0") << 360 << 0;
        QTest::newRow("450 wraps to 90") << 450 << 90;
        QTest::newRow("only once: 800 gives 440") << 800 << 440;
        QTest::newRow("negative gets 360 added") << -90 << 270;
        QTest::newRow("only once: -400 gives -40") << -400 << -40;
    }
    void degToRadCorrectsOnceAndWritesBack() {
        QFETCH(int, in);
        QFETCH(int, out);
        std::int16_t deg = static_cast<std::int16_t>(in);
        const double rad = DegToRad(deg);
        QCOMPARE(int(deg), out);
        QCOMPARE(rad, out * 3.14159265358979 / 180.0);
    }
};

QTEST_APPLESS_MAIN(TstCommon)
#include "tst_common.moc"

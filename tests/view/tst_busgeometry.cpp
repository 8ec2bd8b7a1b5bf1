#include <QtTest>

#include "view/BusGeometry.h"
#include "view/ModulePixels.h"

using namespace quorval;

namespace {

// The module drawing, written out by hand: . transparent, # black, f face,
// L left lamp (channel 1), R right lamp (channel 2).
const char* const kLayout[27] = {
    "...#################",  //
    "..##fffffffffffffff#",  //
    ".###fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fff##fffff##fff#",  //
    "####ff#LL#fff#RR#ff#",  //
    "####f#LLLL#f#RRRR#f#",  //
    "####f#LLLL#f#RRRR#f#",  //
    "####ff#LL#fff#RR#ff#",  //
    "####fff##fffff##fff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####fffffffffffffff#",  //
    "####################",  //
    "###################.",  //
    "##################..",  //
    "#################...",  //
};

char Symbol(ModulePixel p) {
    switch (p) {
        case ModulePixel::Transparent:
            return '.';
        case ModulePixel::Black:
            return '#';
        case ModulePixel::Face:
            return 'f';
        case ModulePixel::LeftLamp:
            return 'L';
        case ModulePixel::RightLamp:
            return 'R';
    }
    return '?';
}

}  // namespace

class TstBusGeometry : public QObject {
    Q_OBJECT
  private slots:
    void roundingHalvesGoToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("-1.5") << -1.5 << -2;
        QTest::newRow("398.57") << 398.57 << 399;
        QTest::newRow("too big for 16 bits") << 1e9 << 32767;
    }
    void roundingHalvesGoToEven() {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(int(RoundHalfEven(value)), rounded);
    }

    void anglesOfSevenModules() {
        const QList<int> expected{90, 141, 193, 244, 296, 347, 39};
        QList<int> got;
        for (int k = 0; k < 7; ++k)
            got << PositionAngle(k, 7);
        QCOMPARE(got, expected);
    }

    void anglesOfSixteenModulesRoundHalvesToEven() {
        QList<int> got;
        for (int k = 0; k < 16; ++k)
            got << PositionAngle(k, 16);
        // 22.5-degree steps: 112.5 -> 112, 157.5 -> 158, 202.5 -> 202, ...
        QCOMPARE(got, (QList<int>{90, 112, 135, 158, 180, 202, 225, 248, 270, 292, 315, 338, 0, 22,
                                  45, 68}));
    }

    void picturesAreCentredOnTheRing() {
        // Inner size 300 x 260, pictures 20 x 27: radius 130 - 27 = 103.
        const RingGeometry ring = Ring(300, 260, 27);
        QCOMPARE(ring.arcRadius, 103.0f);
        QCOMPARE(int(ring.placeRadius), 103);
        const struct {
            int k;
            double left, top;
        } expected[] = {
            {0, 140.0, 13.5},   // top
            {1, 37.0, 116.5},   // left
            {2, 140.0, 219.5},  // bottom
            {3, 243.0, 116.5},  // right
        };
        for (const auto& e : expected) {
            const Point p = PicturePosition(ring, e.k, 4, 20, 27);
            QVERIFY2(qAbs(p.left - e.left) < 1e-9, qPrintable(QString::number(p.left)));
            QVERIFY2(qAbs(p.top - e.top) < 1e-9, qPrintable(QString::number(p.top)));
        }
        // The width only moves the centre.
        QCOMPARE(Ring(900, 260, 27).placeRadius, ring.placeRadius);
        // A window lower than two pictures gives a negative radius; nothing clamps it.
        QVERIFY(Ring(300, 40, 27).arcRadius < 0);
    }

    void linkColours_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("self");  // channel 1 and 2 error as "00".."11"
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("nextRed");
        QTest::addColumn<bool>("previousRed");
        QTest::newRow("3: both ends faulty") << 3 << "10"
                                             << "01" << true << true;
        QTest::newRow("3: one end faulty") << 3 << "11"
                                           << "00" << false << false;
        QTest::newRow("7: none faulty") << 7 << "00"
                                        << "00" << false << false;
        QTest::newRow("1: itself faulty") << 1 << "01"
                                          << "01" << true << true;
        QTest::newRow("1: itself fine") << 1 << "00"
                                        << "00" << false << false;
        QTest::newRow("2: own channel 2 for the next link") << 2 << "01"
                                                            << "10" << true << false;
        QTest::newRow("2: own channel 1 for the previous link") << 2 << "10"
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

    void imageByChannelErrors() {
        QCOMPARE(ModuleImageIndex({false, false}, false), 1);
        QCOMPARE(ModuleImageIndex({true, false}, false), 2);
        QCOMPARE(ModuleImageIndex({false, true}, false), 3);
        QCOMPARE(ModuleImageIndex({true, true}, false), 4);
        QCOMPARE(ModuleImageIndex({false, false}, true), 5);
        QCOMPARE(ModuleImageIndex({true, true}, true), 8);
    }

    void modulePixelsMatchTheDrawing() {
        for (int row = 0; row < kModuleImageHeight; ++row) {
            QString got;
            for (int col = 0; col < kModuleImageWidth; ++col)
                got += Symbol(ModulePixelAt(row, col));
            QCOMPARE(got, QString::fromLatin1(kLayout[row]));
        }
        QCOMPARE(ModulePixelAt(-1, 0), ModulePixel::Transparent);
        QCOMPARE(ModulePixelAt(0, 20), ModulePixel::Transparent);
    }
};

QTEST_APPLESS_MAIN(TstBusGeometry)
#include "tst_busgeometry.moc"

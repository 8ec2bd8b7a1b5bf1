#include <QtTest>

#include "shell/Ini.h"

using namespace quorval;

namespace {

const QString kSection = "QUORVAL Setup Tool";

QString Write(QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("setup.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

}  // namespace

class TstIni : public QObject {
    Q_OBJECT
  private slots:
    void readingTakesTheLeadingNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("setting");
        const QByteArray head = "[QUORVAL Setup Tool]\n";
        QTest::newRow("written form") << head + "comport= 2\n"
                                      << "comport" << 2 << 2;
        QTest::newRow("names in any case")
            << QByteArray("[quorval setup TOOL]\nCOMPORT=3\n") << "comport" << 3 << 3;
        QTest::newRow("trailing junk") << head + "debug = 73junk\n"
                                       << "debug" << 73 << 73;
        QTest::newRow("not a number") << head + "debug = on\n"
                                      << "debug" << 0 << 0;
        QTest::newRow("too big for a byte") << head + "comport = 300\n"
                                            << "comport" << 300 << -1;
        QTest::newRow("negative") << head + "comport = -4\n"
                                  << "comport" << -4 << -1;
        QTest::newRow("huge number") << head + "comport = 99999999999999\n"
                                     << "comport" << INT_MAX << -1;
        QTest::newRow("missing key") << head + "debug = 73\n"
                                     << "comport" << -1 << -1;
        QTest::newRow("other section")
            << QByteArray("[Other]\ncomport = 2\n") << "comport" << -1 << -1;
        QTest::newRow("not text") << head + "comport=1\n" + QByteArray("\0\xff\xfe", 3) << "comport"
                                  << -1 << -1;
        QTest::newRow("half written") << QByteArray("[QUORVAL Setup T") << "comport" << -1 << -1;
        QTest::newRow("huge file")
            << head + "comport = 1\n" + QByteArray(200000, ';') << "comport" << -1 << -1;
    }
    void readingTakesTheLeadingNumber() {
        QFETCH(QByteArray, text);
        QFETCH(QString, key);
        QFETCH(int, value);
        QFETCH(int, setting);
        QTemporaryDir dir;
        const QString path = Write(dir, text);
        QCOMPARE(ReadIniInt(kSection, key, path), value);
        QCOMPARE(ByteSetting(ReadIniInt(kSection, key, path)), setting);
    }

    void missingFileReadsAsNotSet() {
        QTemporaryDir dir;
        QCOMPARE(ReadIniInt(kSection, "comport", dir.filePath("none.ini")), -1);
        QVERIFY(ReadIniString(kSection, "com1", dir.filePath("none.ini")).isEmpty());
    }

    void writingKeepsTheRestOfTheFile() {
        QTemporaryDir dir;
        const QString path = Write(dir,
                                   "; set up by the commissioning team\n"
                                   "[Other]\nkey = value\n\n"
                                   "[quorval setup tool]\n; our port\nComPort = 4\ndebug = 73\n"
                                   "com1 = /dev/ttyUSB0\n");
        QVERIFY(WriteIniString(kSection, "comport", " 2", path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("; set up by the commissioning team"), text.constData());
        QVERIFY(text.contains("; our port"));
        QVERIFY(text.contains("key=value"));
        QVERIFY(text.contains("ComPort= 2"));  // the existing key, replaced
        QCOMPARE(text.count("omPort"), 1);
        QCOMPARE(ReadIniInt(kSection, "comport", path), 2);
        QCOMPARE(ReadIniInt(kSection, "debug", path), 73);
        QCOMPARE(ReadIniString(kSection, "com1", path), QString("/dev/ttyUSB0"));
    }

    void writingCreatesFileAndSection() {
        QTemporaryDir dir;
        const QString path = dir.filePath("new.ini");
        QVERIFY(WriteIniString(kSection, "comport", " 0", path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("[QUORVAL Setup Tool]"), text.constData());
        QVERIFY(text.contains("comport= 0"));
        QCOMPARE(ReadIniInt(kSection, "comport", path), 0);
    }

    void failedWritesAreReportedAndHarmless() {
        QTemporaryDir dir;
        QVERIFY(!WriteIniString(kSection, "comport", " 1", dir.filePath("no/such/folder/x.ini")));
        const QByteArray garbage(
            "\x7f"
            "ELF\0\0binary",
            12);
        const QString path = Write(dir, garbage);
        QVERIFY(!WriteIniString(kSection, "comport", " 1", path));  // not ours to overwrite
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage);
    }
};

QTEST_APPLESS_MAIN(TstIni)
#include "tst_ini.moc"

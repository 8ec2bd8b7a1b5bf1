#include <QtTest>

#include <sys/stat.h>

#include "common/Ini.h"

using namespace quorval;

namespace {

const QString kSection = "QUORVAL Setup Tool";
const QByteArray kHead = "[QUORVAL Setup Tool]\n";

QString Write(QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath("setup.ini");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstIni : public QObject {
    Q_OBJECT
  private slots:
    void readingTakesTheLeadingNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");  // of comport
        QTest::addColumn<int>("setting");
        const auto row = [](const char* name, const QByteArray& text, int value, int setting) {
            QTest::newRow(name) << text << value << setting;
        };
        row("written form", kHead + "comport= 2\n", 2, 2);
        row("trailing junk", kHead + "comport = 73junk\n", 73, 73);
        row("note after the number", kHead + "comport= 1   ; note\n", 1, 1);
        row("not a number", kHead + "comport = on\n", 0, 0);
        row("too big for a byte", kHead + "comport = 300\n", 300, -1);
        row("huge number", kHead + "comport = 99999999999999\n", INT_MAX, -1);
        row("commented out", kHead + "  ;comport=3\n", -1, -1);
        row("other section", "[Other]\ncomport = 2\n", -1, -1);
        row("byte order mark, CRLF", "\xEF\xBB\xBF[QUORVAL Setup Tool]\r\ncomport=4\r\n", 4, 4);
    }
    void readingTakesTheLeadingNumber() {
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QFETCH(int, setting);
        QTemporaryDir dir;
        const QString path = Write(dir, text);
        QCOMPARE(IniReader(path).Int(kSection, "comport"), value);
        QCOMPARE(ByteSetting(IniReader(path).Int(kSection, "comport")), setting);
    }

    void deviceKeysEndBeforeAComment_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("device");
        QTest::newRow("as in the README")
            << QByteArray("com1 = /dev/ttyUSB0     ; optional: the device COM1 stands for")
            << "/dev/ttyUSB0";
        QTest::newRow("part of the path") << QByteArray("com1 = /tmp/a;b") << "/tmp/a;b";
        QTest::newRow("only a comment") << QByteArray("com1 =   ; none yet") << "";
    }
    void deviceKeysEndBeforeAComment() {
        QFETCH(QByteArray, line);
        QFETCH(QString, device);
        QTemporaryDir dir;
        const QString path = Write(dir, kHead + line + "\n");
        QCOMPARE(DeviceSetting(IniReader(path).String(kSection, "com1")), device);
    }

    void writingChangesOnlyWhatItMust_data() {
        QTest::addColumn<QByteArray>("before");  // null: no file
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, const QByteArray& before, const QString& key,
                            const QString& value, const QByteArray& after) {
            QTest::newRow(name) << before << key << value << after;
        };
        row("replaced, spelling and spacing kept", kHead + "ComPort = 4\ndebug=73\n", "comport",
            " 2", kHead + "ComPort = 2\ndebug=73\n");
        row("replaced, no blanks", kHead + "comport=4\n", "comport", " 2", kHead + "comport= 2\n");
        row("new key before the blank lines that end the section",
            "[quorval setup tool]\ndebug = 73\n; ports\n\n\n[Other]\ncomport=9\n", "COMPORT", " 2",
            "[quorval setup tool]\ndebug = 73\n; ports\nCOMPORT= 2\n\n\n[Other]\ncomport=9\n");
        // The README's example: the comment on the edited line stays where it stood.
        const QByteArray note = "           ; written by \"Select COM port\"\n";
        row("comments, blanks, unknown lines kept",
            "; by the team\n\n" + kHead + "no ini line\n  ; our port\ncomport= 4" + note +
                "\nx=1\n",
            "comport", " 1",
            "; by the team\n\n" + kHead + "no ini line\n  ; our port\ncomport= 1" + note +
                "\nx=1\n");
        row("a comment without a value gets a blank before it", kHead + "comport=;none\n",
            "comport", " 2", kHead + "comport= 2 ;none\n");
        row("new section at the end", "; notes\n[Other]\ncomport = 1\n", "comport", " 2",
            "; notes\n[Other]\ncomport = 1\n" + kHead + "comport= 2\n");
        row("CRLF kept and used", "[QUORVAL Setup Tool]\r\ndebug=73\r\n", "com1", "/dev/ttyUSB0",
            "[QUORVAL Setup Tool]\r\ndebug=73\r\ncom1=/dev/ttyUSB0\r\n");
        row("last line without newline, replaced", kHead + "comport=4", "comport", " 2",
            kHead + "comport= 2");
        row("last line without newline, section added", "[Other]\r\nx=1", "comport", " 2",
            "[Other]\r\nx=1\r\n[QUORVAL Setup Tool]\r\ncomport= 2\r\n");
        row("last line ended by a lone CR", "[QUORVAL Setup Tool]\r", "comport", " 2",
            "[QUORVAL Setup Tool]\r\ncomport= 2\r\n");
        row("only the first of duplicates",
            kHead + "comport=1\ncomport=3\n[QUORVAL SETUP TOOL]\ncomport=4\n", "comport", " 2",
            kHead + "comport= 2\ncomport=3\n[QUORVAL SETUP TOOL]\ncomport=4\n");
        row("byte order mark kept", "\xEF\xBB\xBF" + kHead + "comport=1\n", "comport", " 2",
            "\xEF\xBB\xBF" + kHead + "comport= 2\n");
        row("no file yet", QByteArray(), "comport", " 0", kHead + "comport= 0\n");
    }
    void writingChangesOnlyWhatItMust() {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = before.isNull() ? dir.filePath("setup.ini") : Write(dir, before);
        QVERIFY(WriteIniString(kSection, key, value, path));
        QCOMPARE(Read(path), after);
    }

    void writingGoesThroughALinkAndKeepsPermissions() {
        QTemporaryDir dir;
        const QString target = Write(dir, kHead + "comport=1\n");
        QVERIFY(
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const auto mode = QFile::permissions(target);
        const QString link = dir.filePath("link.ini");
        QVERIFY(QFile::link("setup.ini", link));
        QVERIFY(WriteIniString(kSection, "comport", " 2", link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QCOMPARE(Read(target), kHead + "comport= 2\n");
        QCOMPARE(QFile::permissions(target), mode);
    }

    void unusableFilesReadAsMissingAndStay_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("directory") << "dir";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("10 MB of text") << "big";
        QTest::newRow("binary with NUL") << "nul";
        QTest::newRow("folder missing") << "nofolder";
    }
    void unusableFilesReadAsMissingAndStay() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath("setup.ini");
        QByteArray text;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "dir") {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "big") {
            text = kHead + "comport=1\n" + QByteArray("; line of filler\n").repeated(600000);
        } else if (kind == "nul") {
            text = kHead + "comport=1\n" + QByteArray(3, '\0') + "ELF";
        } else {
            path = dir.filePath("no/such/folder/setup.ini");
        }
        if (!text.isEmpty())
            Write(dir, text);
        struct stat before {};
        ::lstat(QFile::encodeName(path).constData(), &before);

        QCOMPARE(IniReader(path).Int(kSection, "comport"), -1);
        QVERIFY(!WriteIniString(kSection, "comport", " 2", path));

        struct stat after {};
        ::lstat(QFile::encodeName(path).constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);  // not replaced
        QCOMPARE(after.st_mode, before.st_mode);
        if (!text.isEmpty())
            QCOMPARE(Read(path), text);
    }
};

QTEST_APPLESS_MAIN(TstIni)
#include "tst_ini.moc"

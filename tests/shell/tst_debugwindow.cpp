#include <QtTest>

#include <QMdiSubWindow>

#include "common/Global.h"
#include "shell/frmMain.h"
#include "support/FakeComm.h"

using namespace quorval;
using testing_support::FakeComm;

namespace {

QStringList Lines(const frmDebug& d) {
    QStringList out;
    for (int i = 0; i < d.lstDebugOutput->count(); ++i)
        out << d.lstDebugOutput->item(i)->text();
    return out;
}

}  // namespace

class TstDebugWindow : public QObject {
    Q_OBJECT
  private slots:
    void firstBytesOpenTheWindowAndClosingDiscardsIt() {
        Global g;
        auto port = std::make_unique<FakeComm>();
        FakeComm& fake = *port;
        QTemporaryDir dir;
        QFile ini(dir.filePath("setup.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[QUORVAL Setup Tool]\ncomport = 1\n");
        ini.close();
        frmMain main(g, std::move(port), SettingsFiles{ini.fileName(), {}});
        main.show();
        QTRY_VERIFY(main.ExistingBusForm());  // the first activation ran
        QVERIFY(!main.ExistingDebugForm());

        fake.incoming = QByteArray::fromHex("4C05000C85000003800A0D");
        main.Link().ReceivePoll();  // debug off: the count only, and the window appears
        QVERIFY(main.ExistingDebugForm());
        QVERIFY(main.ExistingDebugForm()->isVisible());
        QCOMPARE(Lines(*main.ExistingDebugForm()), QStringList{"Bytes received: 11"});
        main.Link().ParsePass();

        g.DebugEnabled = true;
        fake.incoming = QByteArray::fromHex("4C05000C85000003800A0D");
        main.Link().ReceivePoll();
        main.Link().ParsePass();
        frmDebug& d = *main.ExistingDebugForm();
        QCOMPARE(Lines(d), (QStringList{"Bytes received: 11", "Bytes received: 11",
                                        " 4C 05 00 0C 85 00 00 03 80 0A 0D"}));
        QCOMPARE(d.lstDebugOutput->currentRow(), 2);  // the newest line is selected

        QTest::mouseClick(d.cmdClearDebugOutput, Qt::LeftButton);
        QCOMPARE(d.lstDebugOutput->count(), 0);

        QPointer<frmDebug> closed = &d;
        main.ExistingDebugForm()->parentWidget()->close();
        QTRY_VERIFY(closed.isNull());
        fake.incoming = "xy";
        main.Link().ReceivePoll();
        QVERIFY(main.ExistingDebugForm());
        QCOMPARE(Lines(*main.ExistingDebugForm()), QStringList{"Bytes received: 2"});
    }
};

QTEST_MAIN(TstDebugWindow)
#include "tst_debugwindow.moc"

// quorval-setup: the QUORVAL Setup Tool.

#include <QApplication>
#include <QMessageBox>

#include "common/Global.h"
#include "link/QtSerialComm.h"
#include "shell/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quorval::Global g;
    quorval::frmMain main(g, std::make_unique<quorval::QtSerialComm>());
    g.MsgBox = [&main](const QString& text, quorval::MessageIcon icon, const QString& title) {
        QMessageBox box(icon == quorval::MessageIcon::Critical ? QMessageBox::Critical
                                                               : QMessageBox::Information,
                        title, QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")),
                        QMessageBox::Ok, &main);
        box.exec();
    };
    main.show();
    return app.exec();
}

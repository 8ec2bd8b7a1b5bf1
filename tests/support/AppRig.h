#pragma once

// The whole program as it starts: a settings file, the main window with a real
// port, and a recorder in place of message boxes.

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "shell/frmMain.h"

namespace testing_support {

struct AppRig {
    quorval::Global g;
    QTemporaryDir dir;
    std::unique_ptr<quorval::frmMain> main;
    quorval::QtSerialComm* port = nullptr;  // the main window's
    QStringList messages;
    int exits = 0;

    QTemporaryDir home;  // the user's configuration folder

    QString IniPath() const { return dir.filePath(QStringLiteral("quorval-setup.ini")); }
    QString UserIniPath() const {
        return home.filePath(QStringLiteral("quorval-setup/quorval-setup.ini"));
    }

    void WriteIni(const QByteArray& text) {
        QFile f(IniPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }
    QByteArray Ini() const {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Starts the program (at a size of its own unless one is given, as with -geometry) and
    // lets its first activation run.
    void Start(QSize size = {}) {
        g.MsgBox = [this](const QString& text, quorval::MessageIcon, const QString& title) {
            messages << title + QStringLiteral(": ") + text;
        };
        auto owned = std::make_unique<quorval::QtSerialComm>();
        port = owned.get();
        main = std::make_unique<quorval::frmMain>(g, std::move(owned),
                                                  quorval::SettingsFiles{IniPath(), UserIniPath()});
        main->EndProgram = [this] { ++exits; };
        if (size.isValid())
            main->resize(size);
        main->show();
        // Started: placed, and the port opened or the port selection's tests ended.
        (void)QTest::qWaitFor([this] { return main->ExistingBusForm() && !main->Link().Busy(); },
                              5000);
    }

    // Waits for the exchange that a command started to end.
    bool Idle(int ms = 20000) {
        return QTest::qWaitFor([this] { return !main->Link().Busy(); }, ms);
    }
    // Refresh, as the menu runs it, until the scan has ended.
    bool Refresh() {
        main->mnuRefresh->trigger();
        return Idle();
    }

    // The message boxes on screen, with the real ones in place of the recorder.
    static QList<QMessageBox*> OpenBoxes() {
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                boxes << box;
        return boxes;
    }

    // Ends the program and starts it again on the same files.
    void Restart() {
        main.reset();
        g = quorval::Global();
        messages.clear();
        Start();
    }

    // Starts with a settings file that points COM1 at the device and uses it.
    void StartOn(const QString& device, QSize size = {}) {
        WriteIni(UsePort(device));
        Start(size);
    }

    // A settings file that points COM1 at a device and uses it.
    static QByteArray UsePort(const QString& device) {
        return "[QUORVAL Setup Tool]\ncomport = 1\ncom1 = " + device.toLocal8Bit() + "\n";
    }
};

}  // namespace testing_support

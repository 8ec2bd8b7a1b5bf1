#pragma once

// The whole program as it starts: a settings file, the main window with a real
// port, and a recorder in place of message boxes.

#include <QFile>
#include <QTemporaryDir>

#include "common/EventYield.h"
#include "link/QtSerialComm.h"
#include "model/Global.h"
#include "shell/frmMain.h"

namespace testing_support {

struct AppRig {
    quorval::Global g;
    QTemporaryDir dir;
    std::unique_ptr<quorval::frmMain> main;
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
        main = std::make_unique<quorval::frmMain>(g, std::make_unique<quorval::QtSerialComm>(),
                                                  quorval::SettingsFiles{IniPath(), UserIniPath()});
        main->EndProgram = [this] { ++exits; };
        if (size.isValid())
            main->resize(size);
        main->show();
        quorval::WaitUntil([this] { return main->ExistingBusForm() != nullptr; }, 5000);
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

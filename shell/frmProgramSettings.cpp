#include "shell/frmProgramSettings.h"

#include <QDir>
#include <QVBoxLayout>

#include "common/Ini.h"
#include "geometry/Twips.h"
#include "link/ModuleLink.h"
#include "model/Global.h"
#include "ui/DialogParts.h"

namespace quorval {

frmProgramSettings::frmProgramSettings(Global& g, ModuleLink& link, QWidget* parent)
    : QWidget(parent),
      Frame1(new QGroupBox(tr("Select COM port"), this)),
      optCom1(new QRadioButton(QStringLiteral("COM1"), Frame1)),
      optCom2(new QRadioButton(QStringLiteral("COM2"), Frame1)),
      optCom3(new QRadioButton(QStringLiteral("COM3"), Frame1)),
      optCom4(new QRadioButton(QStringLiteral("COM4"), Frame1)),
      cmdOK(new QPushButton(tr("OK"), this)),
      g_(g),
      link_(link) {
    setWindowTitle(tr("Program settings"));
    setMinimumSize(Pixels(2655), Pixels(2160));  // the frame fixes the size
    auto* options = new QVBoxLayout(Frame1);
    for (int port = 1; port <= 4; ++port) {
        options->addWidget(Option(port));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(cmdOK);
    connect(cmdOK, &QPushButton::clicked, this, &frmProgramSettings::cmdOK_Click);

    // The program's own port is closed first, so that it tests like the others.
    MSComm& port = link_.MSComm1();
    if (g_.ComPort >= 1 && g_.ComPort <= 4) {
        port.SetPortOpen(false);
    }
    for (int n = 1; n <= 4; ++n) {
        Option(n)->setEnabled(false);
    }
    // All four at once, each within a time limit: a hung driver cannot freeze the window.
    const std::array<PortTest, 4> tests = port.TestPorts();
    for (int n = 1; n <= 4; ++n) {
        Option(n)->setToolTip(port.DescribePort(n));
        if (DetectComPorts(n, tests[static_cast<std::size_t>(n - 1)])) {
            Option(n)->setEnabled(true);
        }
    }
}

QRadioButton* frmProgramSettings::Option(int port) const {
    switch (port) {
        case 1:
            return optCom1;
        case 2:
            return optCom2;
        case 3:
            return optCom3;
        default:
            return optCom4;
    }
}

bool frmProgramSettings::DetectComPorts(int port, const PortTest& test) {
    if (test.error == MSComm::kErrNone) {
        return true;
    }
    QRadioButton* option = Option(port);
    option->setText(PortCaption(port, test.error));
    if (!test.text.isEmpty()) {
        option->setToolTip(option->toolTip() + QLatin1Char('\n') + test.text);
    }
    return false;
}

void frmProgramSettings::cmdOK_Click() {
    g_.ComPort = 0;
    for (int n = 1; n <= 4; ++n) {
        if (Option(n)->isChecked()) {
            g_.ComPort = static_cast<std::uint8_t>(n);
        }
    }
    if (g_.ComPort != 0) {
        MSComm& comm = link_.MSComm1();
        comm.SetPortOpen(false);  // whatever is open, the chosen port is what counts
        comm.SetCommPort(g_.ComPort);
        comm.SetPortOpen(true);
        link_.StartTimers();
    } else {
        g_.MsgBox(QStringLiteral("No com port available!"), MessageIcon::Critical,
                  QString::fromLatin1(kAppTitle));
    }
    // The choice holds for this run whatever becomes of the file.
    const QString saved =
        WriteSetting(g_.Settings(), QString::fromLatin1(kAppTitle), QStringLiteral("comport"),
                     QStringLiteral(" %1").arg(g_.ComPort));
    if (saved.isEmpty()) {
        g_.MsgBox(QStringLiteral("The choice could not be saved in %1 nor in %2; it holds until "
                                 "the program ends.")
                      .arg(QDir::toNativeSeparators(g_.IniFileName),
                           QDir::toNativeSeparators(g_.IniUserFileName)),
                  MessageIcon::Critical, QString::fromLatin1(kAppTitle));
    }
    CloseChildWindow(*this);
}

}  // namespace quorval

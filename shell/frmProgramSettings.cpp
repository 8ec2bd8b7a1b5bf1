#include "shell/frmProgramSettings.h"

#include <QDir>
#include <QVBoxLayout>

#include "common/Ini.h"
#include "geometry/Twips.h"
#include "model/Global.h"
#include "session/PortTests.h"
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
    if (g_.ComPort >= 1 && g_.ComPort <= 4) {
        link_.ClosePort();
    }
    for (int n = 1; n <= 4; ++n) {
        Option(n)->setEnabled(false);
    }
    cmdOK->setEnabled(false);
    // All four at once, each within a time limit: a hung driver cannot freeze the window.
    const PortTestPlan plan = link_.PlanPortTests();
    for (int n = 1; n <= 4; ++n) {
        Option(n)->setToolTip(link_.Port().DescribePort(n));
    }
    auto* tests = new PortTests(link_);
    connect(tests, &PortTests::finished, this, &frmProgramSettings::ShowTests);
    tests->Start(plan);
}

void frmProgramSettings::ShowTests(const std::vector<PortTest>& tests) {
    for (int n = 1; n <= 4 && n <= static_cast<int>(tests.size()); ++n) {
        if (DetectComPorts(n, tests[static_cast<std::size_t>(n - 1)])) {
            Option(n)->setEnabled(true);
        }
    }
    cmdOK->setEnabled(true);
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
    if (link_.Busy()) {
        return;  // the ports are being tested, or another exchange holds the line
    }
    g_.ComPort = 0;
    for (int n = 1; n <= 4; ++n) {
        if (Option(n)->isChecked()) {
            g_.ComPort = static_cast<std::uint8_t>(n);
        }
    }
    if (g_.ComPort != 0) {
        link_.ClosePort();  // whatever is open, the chosen port is what counts
        link_.SelectPort(g_.ComPort);
        link_.OpenPort();
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

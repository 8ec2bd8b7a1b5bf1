#include "watch/frmWatchPort.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorval {

frmWatchPort::frmWatchPort(MSComm& port, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("QUORVAL Watch"));
    auto* frame = new QGroupBox(tr("Select COM port"), this);
    auto* options = new QVBoxLayout(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    // Each test is bounded in time: a hung driver cannot freeze the window.
    const std::array<PortTest, 4> tests = port.TestPorts();
    for (int n = 1; n <= 4; ++n) {
        const PortTest& test = tests[static_cast<std::size_t>(n - 1)];
        auto* option = new QRadioButton(PortCaption(n, test.error), frame);
        option->setEnabled(test.error == MSComm::kErrNone);
        option->setToolTip(port.DescribePort(n) +
                           (test.text.isEmpty() ? QString() : QLatin1Char('\n') + test.text));
        connect(option, &QRadioButton::toggled, ok, [ok] { ok->setEnabled(true); });
        options->addWidget(option);
        optCom[static_cast<std::size_t>(n - 1)] = option;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The setup tool has no COM port chosen.\nWhich one leads "
                                    "to the system?"),
                                 this));
    layout->addWidget(frame);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int frmWatchPort::Chosen() const {
    for (int n = 1; n <= 4; ++n) {
        if (optCom[static_cast<std::size_t>(n - 1)]->isChecked()) {
            return n;
        }
    }
    return 0;
}

}  // namespace quorval

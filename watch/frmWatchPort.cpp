#include "watch/frmWatchPort.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/PortTests.h"

namespace quorval {

frmWatchPort::frmWatchPort(MSComm& port, QWidget* parent) : QDialog(parent), port_(port) {
    setWindowTitle(tr("QUORVAL Watch"));
    auto* frame = new QGroupBox(tr("Select COM port"), this);
    auto* options = new QVBoxLayout(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setEnabled(false);
    // Each test is bounded in time: a hung driver cannot freeze the window.
    const PortTestPlan plan = port.PlanPortTests();
    for (int n = 1; n <= 4; ++n) {
        auto* option = new QRadioButton(QStringLiteral("COM%1").arg(n), frame);
        option->setEnabled(false);
        option->setToolTip(port.DescribePort(n));
        connect(option, &QRadioButton::toggled, ok_, [this] { ok_->setEnabled(true); });
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
    auto* tests = new PortTests(this);
    connect(tests, &PortTests::finished, this, &frmWatchPort::ShowTests);
    tests->Start(plan);
}

void frmWatchPort::ShowTests(const std::vector<PortTest>& tests) {
    for (int n = 1; n <= 4 && n <= static_cast<int>(tests.size()); ++n) {
        const PortTest& test = tests[static_cast<std::size_t>(n - 1)];
        QRadioButton* option = optCom[static_cast<std::size_t>(n - 1)];
        option->setText(PortCaption(n, test.error));
        option->setEnabled(test.error == MSComm::kErrNone);
        if (!test.text.isEmpty()) {
            option->setToolTip(port_.DescribePort(n) + QLatin1Char('\n') + test.text);
        }
    }
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

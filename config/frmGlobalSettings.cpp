#include "config/frmGlobalSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>

#include "config/frmProgress.h"
#include "geometry/Twips.h"
#include "model/Global.h"
#include "session/ProgrammingRun.h"
#include "ui/DialogParts.h"

namespace quorval {

frmGlobalSettings::frmGlobalSettings(Global& g, ModuleLink& link, ProgressAccess progress,
                                     QWidget* parent)
    : QWidget(parent),
      cmbBaudrate(new QComboBox(this)),
      optNetworkTopologiePointToPoint(new QRadioButton(tr("Point to Point"), this)),
      optNetworkTopologieLineOrRing(new QRadioButton(tr("Line / Ring"), this)),
      optCANIdentifier11Bit(new QRadioButton(tr("11 Bit"), this)),
      optCANIdentifier29Bit(new QRadioButton(tr("29 Bit"), this)),
      cmbErrorRelais(new QComboBox(this)),
      chkWriteToEEPROM(new QCheckBox(QStringLiteral("Write to E²PROM"), this)),
      cmdApply(new QPushButton(tr("&Apply"), this)),
      g_(g),
      link_(link),
      progress_(std::move(progress)),
      Frame1(new QButtonGroup(this)),
      identifierGroup_(new QButtonGroup(this)) {
    setWindowTitle(tr("Global Settings"));
    setMinimumSize(Pixels(3210), Pixels(2820));  // the frame fixes the size

    Frame1->addButton(optNetworkTopologiePointToPoint);
    Frame1->addButton(optNetworkTopologieLineOrRing);
    identifierGroup_->addButton(optCANIdentifier11Bit);
    identifierGroup_->addButton(optCANIdentifier29Bit);
    SetUpRelayCombo(*cmbErrorRelais);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    // Labels name their fields to assistive technology.
    auto* lblBaudrate = new QLabel(tr("CAN Baudrate:"), this);
    lblBaudrate->setBuddy(cmbBaudrate);
    grid->addWidget(lblBaudrate, 0, 0);
    grid->addWidget(cmbBaudrate, 0, 1);
    grid->addWidget(new QLabel(tr("Network Topologie:"), this), 1, 0);
    auto* topology = new QVBoxLayout();
    topology->addWidget(optNetworkTopologiePointToPoint);
    topology->addWidget(optNetworkTopologieLineOrRing);
    grid->addLayout(topology, 1, 1);
    grid->addWidget(new QLabel(tr("CAN Identifier:"), this), 2, 0);
    auto* identifiers = new QHBoxLayout();
    identifiers->addWidget(optCANIdentifier11Bit);
    identifiers->addWidget(optCANIdentifier29Bit);
    grid->addLayout(identifiers, 2, 1);
    auto* lblErrorRelais = new QLabel(tr("Error Relais:"), this);
    lblErrorRelais->setBuddy(cmbErrorRelais);
    grid->addWidget(lblErrorRelais, 3, 0, 1, 2);
    grid->addWidget(cmbErrorRelais, 4, 0, 1, 2);
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(chkWriteToEEPROM);
    bottom->addStretch();
    bottom->addWidget(cmdApply);
    grid->addLayout(bottom, 5, 0, 1, 2);

    connect(cmbBaudrate, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        model_.SelectBaud(cmbBaudrate->itemText(index), g_.Bus.MinVersion);
        Render();
    });
    connect(optCANIdentifier11Bit, &QRadioButton::clicked, this, [this] {
        model_.SelectIdentifier(false, g_.Bus.MinVersion);
        Render();
    });
    connect(optCANIdentifier29Bit, &QRadioButton::clicked, this, [this] {
        model_.SelectIdentifier(true, g_.Bus.MinVersion);
        Render();
    });
    connect(optNetworkTopologiePointToPoint, &QRadioButton::clicked, this,
            [this] { model_.SelectTopology(GlobalSettingsModel::Topology::PointToPoint); });
    connect(optNetworkTopologieLineOrRing, &QRadioButton::clicked, this,
            [this] { model_.SelectTopology(GlobalSettingsModel::Topology::LineOrRing); });
    connect(cmbErrorRelais, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { model_.SetRelayText(text); });
    connect(cmdApply, &QPushButton::clicked, this, &frmGlobalSettings::cmdApply_Click);

    SetProperties();
}

void frmGlobalSettings::Render() {
    const QSignalBlocker b1(cmbBaudrate), b2(cmbErrorRelais);
    QStringList items;
    for (int i = 0; i < cmbBaudrate->count(); ++i) {
        items << cmbBaudrate->itemText(i);
    }
    if (items != model_.BaudList()) {
        cmbBaudrate->clear();
        cmbBaudrate->addItems(model_.BaudList());
    }
    cmbBaudrate->setCurrentIndex(model_.BaudList().indexOf(model_.SelectedBaud()));
    const bool p2p = model_.SelectedTopology() == GlobalSettingsModel::Topology::PointToPoint;
    optNetworkTopologiePointToPoint->setChecked(p2p);
    optNetworkTopologieLineOrRing->setChecked(!p2p);
    optNetworkTopologieLineOrRing->setEnabled(model_.LineOrRingEnabled());
    optCANIdentifier11Bit->setChecked(!model_.Is29Bit());
    optCANIdentifier29Bit->setChecked(model_.Is29Bit());
    optCANIdentifier29Bit->setEnabled(model_.Identifier29Enabled());
    if (cmbErrorRelais->currentText() != model_.RelayText()) {
        cmbErrorRelais->setCurrentText(model_.RelayText());
        cmbErrorRelais->lineEdit()->setCursorPosition(0);
    }
}

void frmGlobalSettings::SetProperties() {
    model_.SetProperties(g_.Bus.MinVersion);
    Render();
}

void frmGlobalSettings::ShowReportedMode(std::uint8_t mode) {
    model_.ShowReportedMode(mode, g_.Bus.MinVersion);
    Render();
}

bool frmGlobalSettings::SelectBaudrate(const QString& caption) {
    const bool ok = model_.SelectBaud(caption, g_.Bus.MinVersion);
    Render();
    return ok;
}

void frmGlobalSettings::cmdApply_Click() {
    if (link_.Busy()) {
        return;  // another exchange waits on the line
    }
    std::vector<int> order = ProgrammingOrder(g_);
    if (order.empty()) {
        g_.MsgBox(tr("No modules to program! Scan the LWL-System with Refresh first."),
                  MessageIcon::Critical, tr("QUORVAL Setup Tool"));
        return;
    }
    const int total = static_cast<int>(order.size());
    const QString caption =
        chkWriteToEEPROM->isChecked() ? tr("Programming modules...") : tr("Updateing modules...");
    auto* run = new ProgrammingRun(link_);
    // The run outlives this dialog if it is closed meanwhile; the progress
    // window follows it as long as it is open.
    QPointer<frmProgress> progress = &progress_();
    connect(run, &ProgrammingRun::progress, progress,
            [progress](int, bool, const ProgrammingResult& soFar) {
                // The bar counts the modules reached; a refused frame leaves it short.
                progress->ProgressBar->setValue(soFar.sent);
            });
    connect(run, &ProgrammingRun::finished, progress,
            [progress, caption](const ProgrammingResult& result) {
                progress->setWindowTitle(result.failed == 0 && !result.interrupted
                                             ? caption + tr("ready!")
                                             : caption + tr("failed! ") + RunSummary(result));
                progress->cmdOK->setEnabled(true);
            });
    QPointer<frmGlobalSettings> self(this);
    const bool started = run->Start(model_.ModeByte(), std::move(order),
                                    [self, eeprom = chkWriteToEEPROM->isChecked()]() mutable {
                                        // Read afresh for every frame; a dialog closed meanwhile
                                        // keeps its last choice.
                                        if (self) {
                                            eeprom = self->chkWriteToEEPROM->isChecked();
                                        }
                                        return eeprom;
                                    });
    if (started) {
        progress->StartRun(caption, total);
    }
}

}  // namespace quorval

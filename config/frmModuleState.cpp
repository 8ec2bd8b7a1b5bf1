#include "config/frmModuleState.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include "common/Bits.h"
#include "geometry/Twips.h"
#include "model/Global.h"
#include "model/ModeByte.h"
#include "model/ModuleData.h"
#include "model/ModuleText.h"
#include "model/RelayLogic.h"
#include "session/RelayApply.h"
#include "ui/DialogParts.h"

namespace quorval {

namespace {

QLineEdit* DisplayField(QWidget* parent) {
    auto* f = new QLineEdit(parent);
    f->setReadOnly(true);
    return f;
}

}  // namespace

frmModuleState::frmModuleState(ModuleLink& link, QWidget* parent)
    : QWidget(parent),
      txtModulID(DisplayField(this)),
      txtVersion(DisplayField(this)),
      txtMode(DisplayField(this)),
      cmbErrorRelais(new QComboBox(this)),
      txtErrorCounterCH1(DisplayField(this)),
      txtErrorCounterCH2(DisplayField(this)),
      chkWriteToEEPROM(new QCheckBox(QStringLiteral("Write to E²PROM"), this)),
      cmdApply(new QPushButton(tr("&Apply"), this)),
      link_(link) {
    setWindowTitle(tr("Module State"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setMinimumSize(Pixels(3225), Pixels(3060));  // the frame fixes the size

    SetUpRelayCombo(*cmbErrorRelais);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(4);
    int row = 0;
    // Labels name their fields to assistive technology.
    const auto labelOf = [this](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        return label;
    };
    const auto addRow = [&](const QString& label, QWidget* field) {
        grid->addWidget(labelOf(label, field), row, 0);
        grid->addWidget(field, row++, 1);
    };
    addRow(tr("Modul ID:"), txtModulID);
    addRow(tr("Version:"), txtVersion);
    addRow(tr("Mode:"), txtMode);
    grid->addWidget(labelOf(tr("Error Relais:"), cmbErrorRelais), row++, 0, 1, 2);
    grid->addWidget(cmbErrorRelais, row++, 0, 1, 2);
    addRow(tr("Error Counter CH1:"), txtErrorCounterCH1);
    addRow(tr("Error Counter CH2:"), txtErrorCounterCH2);
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(chkWriteToEEPROM);
    bottom->addStretch();
    bottom->addWidget(cmdApply);
    grid->addLayout(bottom, row++, 0, 1, 2);

    connect(cmdApply, &QPushButton::clicked, this, &frmModuleState::cmdApply_Click);
}

void frmModuleState::ShowModule(int id, const ModuleData& record) {
    txtModulID->setText(QString::number(id));
    txtVersion->setText(VersionText(record.GetVersion()));
    txtMode->setText(QString::fromStdString(ByteToBits(record.GetMode())));
    txtErrorCounterCH1->setText(QString::number(record.GetErrorCounterChannel1()));
    txtErrorCounterCH2->setText(QString::number(record.GetErrorCounterChannel2()));
    cmbErrorRelais->setCurrentText(QString::fromStdString(RelayCaption(record.GetMode())));
    cmbErrorRelais->lineEdit()->setCursorPosition(0);  // show the start of a long caption
}

void frmModuleState::cmdApply_Click() {
    // Only an ID that a query wrote makes sense here; anything else sends nothing.
    const auto id = ModuleIdFromText(txtModulID->text());
    if (!id) {
        return;
    }
    auto* apply = new RelayApply(link_);
    QPointer<frmModuleState> self(this);
    // The link's context: a refusal is said even when the dialog was closed meanwhile.
    connect(
        apply, &RelayApply::finished, &link_, [self, apply, &link = link_](ApplyOutcome outcome) {
            switch (outcome) {
                case ApplyOutcome::Sent:
                    if (self) {
                        self->txtMode->setText(QString::fromStdString(ByteToBits(apply->Mode())));
                    }
                    break;
                case ApplyOutcome::Refused:
                    // The module never heard of it: its record keeps what the module has.
                    link.State().MsgBox(
                        QStringLiteral(
                            "Module %1 was not changed: the port did not take the frame (%2).")
                            .arg(apply->Id())
                            .arg(link.PortProblem()),
                        MessageIcon::Critical, QStringLiteral("Error!"));
                    break;
                case ApplyOutcome::LinkLost:  // the loss is told next
                case ApplyOutcome::Stopped:
                    break;
            }
        });
    apply->Start(*id, RelayValueForText(cmbErrorRelais->currentText()),
                 chkWriteToEEPROM->isChecked());
}

}  // namespace quorval

#include "shots_parameters_dialog.h"

#include "dialog_texts.h"
#include "spin_buttons.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kavro::trainer {
namespace {

// The stored value is a Windows button state: 1 is checked and 2 indeterminate, the other way
// round from Qt's states.
Qt::CheckState toQtCheckState(int buttonState)
{
    return buttonState == 1 ? Qt::Checked : buttonState == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int toButtonState(Qt::CheckState state)
{
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

} // namespace

CShotsParametersDlg::CShotsParametersDlg(const ShotsParameters& values, int targetKind, QWidget* parent)
    : QDialog(parent), form_(values, targetKind), values_(values)
{
    setWindowTitle(dialogText(IDD_SHOTS_PARAMETERS, 0));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    layout->addLayout(fields);

    // The fields in the order of the dialog's template.
    for (ShotsField field : {ShotsField::Dispersion, ShotsField::ShotMoment, ShotsField::FCoefficient,
                             ShotsField::ControlInterval, ShotsField::ControlInterval2}) {
        const ShotsFieldInfo& info = shotsFieldInfo(field);
        auto* edit = new QLineEdit(form_.text(field), this);
        edit->setObjectName(QStringLiteral("edit%1").arg(info.editId));
        auto* spin = new SpinButtons(this);
        spin->setObjectName(QStringLiteral("spin%1").arg(info.spinId));
        spin->setRange(info.spinMin, info.spinMax);
        spin->setPosition(form_.spinPosition(field));
        edits_[size_t(field)] = edit;
        spins_[size_t(field)] = spin;

        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        row->addWidget(edit);
        row->addWidget(spin);
        fields->addRow(dialogText(IDD_SHOTS_PARAMETERS, info.editId), row);

        connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            form_.setText(field, text);
            spins_[size_t(field)]->setPosition(form_.spinPosition(field));
        });
        connect(spin, &SpinButtons::moved, this, [this, field](int position) {
            form_.moveSpin(field, position);
            edits_[size_t(field)]->setText(form_.text(field));
        });
    }

    coincide_ = new QCheckBox(dialogText(IDD_SHOTS_PARAMETERS, IDC_COINCIDE_GROUPING), this);
    coincide_->setCheckState(toQtCheckState(form_.checkState()));
    layout->addWidget(coincide_);
    if (!form_.shotMomentEditable()) {
        edit(ShotsField::ShotMoment)->setEnabled(false);
        spin(ShotsField::ShotMoment)->setEnabled(false);
    }
    coincide_->setEnabled(form_.coincideEditable());

    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("rangeHint"));
    hint_->setWordWrap(true);
    hint_->hide();
    layout->addWidget(hint_);

    layout->addWidget(okCancelButtons(this, IDD_SHOTS_PARAMETERS));
}

void CShotsParametersDlg::accept()
{
    form_.setCheckState(toButtonState(coincide_->checkState()));
    ShotsField failed{};
    const auto accepted = form_.accept(&failed);
    if (!accepted) {
        QApplication::beep();
        QLineEdit* e = edit(failed);
        e->setFocus();
        e->selectAll();
        hint_->setText(shotsRangeHint(failed));
        hint_->show();
        return;
    }
    values_ = *accepted;
    QDialog::accept();
}

bool runShotsParametersDialog(QWidget* parent, int targetKind, ShotsParameters* values)
{
    CShotsParametersDlg dlg(*values, targetKind, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *values = dlg.values();
    return true;
}

} // namespace kavro::trainer

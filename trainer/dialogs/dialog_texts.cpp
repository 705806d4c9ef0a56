#include "dialog_texts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace kavro::trainer {

QDialogButtonBox* okCancelButtons(QDialog* dialog, uint16_t dialogId)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(dialogText(dialogId, 1));
    buttons->button(QDialogButtonBox::Cancel)->setText(dialogText(dialogId, 2));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace kavro::trainer

#pragma once
// Texts of the dialog templates and the buttons every dialog shares.
#include "res_strings.h"
#include "string_table.h"

#include <QString>

class QDialog;
class QDialogButtonBox;

namespace kavro::trainer {

inline QString dialogText(uint16_t dialog, uint16_t control)
{
    return LoadResString(dialogTextId(dialog, control));
}

// OK and Cancel with the dialog's own texts (controls 1 and 2), wired to accept and reject.
QDialogButtonBox* okCancelButtons(QDialog* dialog, uint16_t dialogId);

} // namespace kavro::trainer

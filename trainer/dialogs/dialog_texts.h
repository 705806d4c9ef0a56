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

// A printf-style text of the string table filled with `args`. A translation whose conversions
// differ from the English text's is not trusted with the arguments: the English text serves.
template <class... Args> QString formatResString(uint32_t id, Args... args)
{
    QString pattern = LoadResString(id);
    const QString english = englishResString(id);
    if (placeholdersOf(pattern) != placeholdersOf(english))
        pattern = english;
    return QString::asprintf(pattern.toUtf8().constData(), args...);
}

// OK and Cancel with the dialog's own texts (controls 1 and 2), wired to accept and reject.
QDialogButtonBox* okCancelButtons(QDialog* dialog, uint16_t dialogId);

} // namespace kavro::trainer

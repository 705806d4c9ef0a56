#include "ui_text.h"

#include <QHash>

// TODO(ground): answer from LoadResString once the trainer core lands; these are the few texts
// the document wrapper needs until then.
QString uiText(int id)
{
    static const QHash<int, QString> texts = {
        {128, QStringLiteral("Kavro Professional")},
        {32817, QStringLiteral("Document was changed. Save changes to this file?")},
        {32824, QStringLiteral("Prone")},
        {32825, QStringLiteral("Standing")},
        {32826, QStringLiteral("Kneeling")},
        {32863, QStringLiteral("Unable to load file.")},
        {32840, QStringLiteral("Opening document...")},
        {32841, QStringLiteral("Saving document...")},
        {61224, QStringLiteral("%-3.1f mm")},
    };
    return texts.value(id);
}

int uiLanguageId()
{
    return 1033; // TODO(ground): the module's current interface language
}

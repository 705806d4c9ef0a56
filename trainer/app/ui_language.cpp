#include "ui_text.h"

int uiLanguageId()
{
    return 1033; // TODO(ground): the module's current interface language once it can switch
}

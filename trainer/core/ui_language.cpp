#include "ui_text.h"

#include "language_module.h"

int uiLanguageId()
{
    return kavro::LanguageModule::instance().langId();
}

#pragma once
// The text of a numeric string id in the current interface language.
#include <QString>

QString uiText(int id);

// The LANGID of the interface language (1033 English).
int uiLanguageId();

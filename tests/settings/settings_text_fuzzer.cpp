// Any bytes must parse without fault, and what we write must read back to the same tree.
#include "settings/reg_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace settings_internal;
    const auto tree = parseSettingsText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QByteArray once = formatSettingsText(*tree);
    const QByteArray twice = formatSettingsText(*parseSettingsText(once));
    if (once != twice)
        std::abort();
    return 0;
}

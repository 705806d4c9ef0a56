#include "settings/settings.h"

SettingsValue SettingsValue::fromDword(uint32_t v)
{
    SettingsValue s;
    s.type = REG_DWORD;
    s.dword = v;
    return s;
}

SettingsValue SettingsValue::fromString(const QString& v)
{
    SettingsValue s;
    s.type = REG_SZ;
    // A stored string is never null, as a registry read never yields a null string.
    s.string = v.isNull() ? QStringLiteral("") : v;
    return s;
}

SettingsValue SettingsValue::fromBinary(const QByteArray& v)
{
    SettingsValue s;
    s.type = REG_BINARY;
    s.binary = v;
    return s;
}

bool SettingsValue::operator==(const SettingsValue& o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case REG_DWORD: return dword == o.dword;
    case REG_SZ: return string == o.string;
    case REG_BINARY: return binary == o.binary;
    default: return true;
    }
}

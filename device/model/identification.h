#pragma once
// What a sensor says about itself. Serial sensors fill every field from their banner; USB models
// write only the model name. Fixed-width fields hold text without a guaranteed terminator.
#include <QString>

#include <cstdint>
#include <cstring>

namespace kavro {

struct DeviceIdentification {
    char banner[2] = {};
    char tag[4] = {}; // three letters and a zero
    int32_t modelNumber = 0;
    char serialNumber[9] = {};
    char field3[9] = {};
    char field4[9] = {};
    char modelName[42] = {};

    void clear() { *this = DeviceIdentification{}; }
    void setModelName(const char* name)
    {
        std::memset(modelName, 0, sizeof modelName);
        std::strncpy(modelName, name, sizeof modelName - 1);
    }

    // A field's text, up to its first zero or its end.
    template <size_t N> static QString text(const char (&field)[N])
    {
        return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, N)));
    }
};

} // namespace kavro

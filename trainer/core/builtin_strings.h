#pragma once
// The English string sources compiled into the program; the list ends with a null name.
#include <cstddef>

namespace kavro {

struct BuiltInStringSource {
    const char* name;
    const unsigned char* bytes;
    std::size_t size;
};

extern const BuiltInStringSource kBuiltInStringSources[];

} // namespace kavro

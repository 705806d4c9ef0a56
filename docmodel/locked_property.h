#pragma once
// Plain stored properties of the document model's objects: every access takes the object's own
// lock (`mutex_`), getters refuse a missing out-pointer.
#include <mutex>

#define KAVRO_LOCKED_GET(member)                                                                                       \
    {                                                                                                                  \
        if (!out)                                                                                                      \
            return E_POINTER;                                                                                          \
        std::lock_guard guard(mutex_);                                                                                 \
        *out = member;                                                                                                 \
        return S_OK;                                                                                                   \
    }

#define KAVRO_LOCKED_PUT(member)                                                                                       \
    {                                                                                                                  \
        std::lock_guard guard(mutex_);                                                                                 \
        member = value;                                                                                                \
        return S_OK;                                                                                                   \
    }

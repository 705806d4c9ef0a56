#pragma once
// Records the Progress reports of a document or an aiming collection, in order.
#include "com/unknown.h"

#include <cstdint>
#include <utility>
#include <vector>

template <class Events> class ProgressRecorder final : public ComObject<ProgressRecorder<Events>, Events> {
public:
    HRESULT Progress(int32_t done, int32_t total) override
    {
        calls.emplace_back(done, total);
        return S_OK;
    }
    std::vector<std::pair<int32_t, int32_t>> calls;
};

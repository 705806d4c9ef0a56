#pragma once
// Storage for the decoded channels of loaded traces, carved from slabs of one megabyte. Reading
// every trace of a large practice would otherwise ask the C library for one block per trace,
// each in pages the heap had just given back to the system, and fault them in again: a cost
// that grew faster than the practice. Slabs that fall free are kept, up to a bound, for the
// next practice read.
#include <cstddef>
#include <memory>

namespace kavrodoc {

class SampleSlabs {
public:
    static constexpr size_t kSlabBytes = size_t(1) << 20;
    // Free slabs kept for reuse; beyond this they go back to the C library.
    static constexpr size_t kMostSpareBytes = size_t(128) << 20;

    // `bytes` of storage aligned for any sample, alive while the pointer or a copy is. A request
    // above a quarter of a slab gets storage of its own. Throws std::bad_alloc.
    static std::shared_ptr<std::byte[]> take(size_t bytes);
    // How many free slabs are kept now.
    static size_t spareSlabs();
};

} // namespace kavrodoc

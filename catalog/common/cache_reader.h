#pragma once
// Reading the catalog cache. The bytes may be torn by a writer that died, truncated or made by
// someone hostile: nothing read from them is used before it is checked against the bytes there
// are, and any inconsistency makes the whole cache unreadable ("no catalog") instead of a crash.
#include "cache_format.h"
#include "com/hresult.h"
#include "ipc/mapped_file.h"
#include "ipc/swmr_guard.h"
#include "thread/manual_event.h" // kInfinite

#include <vector>

namespace kavro::catalog {

// HRESULT of a cache whose header or records are not in order (ERROR_INVALID_DATA).
constexpr HRESULT kCacheCorrupted = HRESULT_FROM_WIN32(13);
// HRESULT of a read that found no cache file: deleted under the running service, which makes it
// again within seconds.
constexpr HRESULT kCacheMissing = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

struct CacheHeader {
    uint32_t mappedSize = 0;
    uint32_t documents = 0;
    uint32_t nonDocuments = 0;
    uint32_t deleted = 0;
};

// The header, when its marks are right, its mapped size lies between the header's own end and
// `size`, and the live counts can be held in that many bytes.
bool readCacheHeader(const uint8_t* data, size_t size, CacheHeader* out);

// The length of the well-formed record at `offset` (state 0, 1 or 2, constant, length equal to
// 71 + 2 x the text lengths, end mark, all before `limit`); 0 when it is not one.
size_t checkedRecordLength(const uint8_t* data, size_t limit, size_t offset);

// Decodes the record at `offset`, which checkedRecordLength has accepted.
void decodeRecord(const uint8_t* data, size_t offset, CacheRecord* out);
// Only its second and third texts (event and shooter names).
QString decodedText(const uint8_t* data, size_t offset, int index);

// Calls `visit(offset, length)` for every live record in order, stepping over deleted ones, until
// as many live records as the header counts were seen; `end` (may be null) gets the end of the
// last live record. False when the walk meets a malformed record, runs past the mapped size, or
// finds a live record of the other kind than the header's counts allow.
template <class Visit>
bool walkLiveRecords(const uint8_t* data, const CacheHeader& header, Visit&& visit, size_t* end = nullptr);

// Every live record of a cache image, in order.
struct CacheSnapshot {
    CacheHeader header;
    std::vector<CacheRecord> records;
};
HRESULT parseCatalogCache(const uint8_t* data, size_t size, CacheSnapshot* out);

// A reader of the shared cache in any process: the change counter stays mapped; the cache is
// copied whole under the reader side of the guard and read from the copy.
class CatalogCacheReader {
public:
    // Opens the guard and maps the change counter. Fails while no service ever created them.
    HRESULT open();
    void close();
    bool isOpen() const { return counter_.data() != nullptr; }

    uint32_t changeCounter() const;
    // Reads the whole cache and the counter that goes with it. kCacheCorrupted for a cache that
    // is not in order, kCacheMissing when there is no cache file (nor its folder); a failure of
    // the guard within `timeoutMs` is E_ABORT.
    HRESULT read(CacheSnapshot* out, uint32_t* counter, uint32_t timeoutMs);

private:
    SwmrGuard guard_;
    MappedFile counter_;
};

// Reads the change counter from a mapped counter page (atomically: the writer raises it while
// readers look).
uint32_t loadChangeCounter(const uint8_t* page);

} // namespace kavro::catalog

#include "cache_reader_walk.h"

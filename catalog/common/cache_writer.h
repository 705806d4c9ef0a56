#pragma once
// The writer's side of the catalog cache: the catalog service alone opens it. Each change takes
// the writer side of the guard, leaves the file in order before releasing it, and raises the
// change counter. Records are written whole before the live counts admit them, so a writer that
// dies mid-append leaves a cache that readers still read as it was. Compaction writes the live
// records into a new file beside the cache and puts it in the cache's place in one rename, so a
// writer that dies while compacting leaves the old cache or the compacted one, never a mix.
//
// The writer keeps an index of the live records (path -> offset, event and event-and-shooter
// counts) so that look-ups do not walk the file; the file stays the only truth shared.
#include "cache_format.h"
#include "cache_reader.h"
#include "ipc/mapped_file.h"
#include "ipc/swmr_guard.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kavro::catalog {

struct EventShooterPresence {
    bool pair = false; // a live document has this event and (when one was given) this shooter
    bool event = false; // a live document has this event
};

class CatalogCache {
public:
    CatalogCache() = default;
    ~CatalogCache();
    CatalogCache(const CatalogCache&) = delete;
    CatalogCache& operator=(const CatalogCache&) = delete;

    // Creates the guard, then under its writer side opens or creates the cache file at `path`
    // and its mappings.
    HRESULT open(const QString& path);
    // Under the writer side of the guard closes the mappings and the file; closes the guard.
    void close();
    bool isOpen() const { return cache_.data() != nullptr; }

    // Creates or opens the change counter (raising it by 1 when it existed, so a reader never
    // takes a restarted service's counter for "nothing changed"), sizes the cache file (a file
    // below 0x40000 bytes becomes 0x40000 with an empty header) and maps it. A header that is
    // not this format's, does not match the file's size, or whose records are not in order is
    // reset. On failure nothing stays open.
    HRESULT OpenCacheMappings();
    void CloseCacheMappings();
    // Maps the cache again at `size` bytes (growing the file) and records the size in the header.
    HRESULT RemapCache(size_t size);
    // When the cache file was deleted or replaced while open (readers would find none, or not
    // ours), opens the file at the cache's path again as `open` does, making it when missing:
    // S_OK then, and the index holds what that file holds. S_FALSE when the file is still ours.
    // On failure what was open stays in use, and the next call tries again.
    HRESULT ReopenIfReplaced();

    // The offset of the live record with exactly this path, or 0 when there is none.
    size_t FindRecordByPath(const QString& path) const;
    // Event names and shooter names compare exactly, as the catalog's folders do: "ANNA" beside
    // "Anna" is a folder of its own, which open views must be told of. An empty shooter asks only
    // for the event.
    EventShooterPresence FindEventShooterPair(const QString& event, const QString& shooter) const;
    CacheRecord RecordAt(size_t offset) const;
    QString RecordPath(size_t offset) const;
    // The write time and size the record was made from, without decoding its texts.
    std::pair<uint64_t, uint32_t> RecordStamp(size_t offset) const;

    // Appends a record: a live document when its file version is at least 1, else a live
    // non-document. `before` (may be null) tells what existed before it was added.
    HRESULT AppendRecord(const CacheRecord& record, EventShooterPresence* before = nullptr);
    // Marks the live record at `offset` deleted.
    HRESULT DeleteRecord(size_t offset);

    // Holds the writer side of the guard across several appends and deletes, which then do not
    // take it each (the records still become visible one by one). Readers wait meanwhile: hold
    // it only while writing, never while reading documents.
    class WriteBatch {
    public:
        explicit WriteBatch(CatalogCache& cache);
        ~WriteBatch();
        WriteBatch(const WriteBatch&) = delete;
        WriteBatch& operator=(const WriteBatch&) = delete;

    private:
        CatalogCache& cache_;
        SwmrWriteLock lock_;
    };

    // Offsets of the live records in order: valid until the next append (which may compact).
    std::vector<size_t> LiveRecordOffsets() const;

    uint32_t LiveDocuments() const;
    uint32_t LiveNonDocuments() const;
    uint32_t DeletedRecords() const;
    uint32_t MappedSize() const;
    uint32_t changeCounter() const;
    QString FilePath() const { return path_; }

    // For tests: called while compacting, after each live record was copied (`copied` of `live`).
    void setCompactionProbe(std::function<void(size_t copied, size_t live)> probe)
    {
        compactionProbe_ = std::move(probe);
    }

private:
    uint8_t* header() const { return cache_.data(); }
    CacheHeader currentHeader() const;
    void resetHeader(size_t size);
    bool rebuildIndex();
    void indexRecord(size_t offset, int delta);
    void raiseChangeCounter();
    HRESULT compact();

    QString path_;
    SwmrGuard guard_;
    MappedFile cache_;
    MappedFile counter_;
    size_t end_ = kHeaderSize; // end of the last live record
    QHash<QString, size_t> byPath_;
    QHash<QString, int> events_; // event -> live documents
    QHash<std::pair<QString, QString>, int> pairs_; // (event, shooter) -> live documents
    std::function<void(size_t, size_t)> compactionProbe_;
    bool batched_ = false; // a WriteBatch holds the writer side
};

} // namespace kavro::catalog

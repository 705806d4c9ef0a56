#pragma once
// A file mapped into memory with MAP_SHARED, so that every process mapping it sees one set of
// bytes. The writer sizes and grows the file; a reader maps what is there and never more, since
// touching a page beyond the end of a file raises SIGBUS.
#include "com/hresult.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace kavro {

class MappedFile {
public:
    enum class Access { ReadOnly, ReadWrite };

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens `path`; ReadWrite creates a missing file with `createMode`. Symbolic links are not
    // followed (a link planted in a shared folder would redirect our writes).
    HRESULT open(const QString& path, Access access, mode_t createMode = 0600);
    bool isOpen() const { return fd_ >= 0; }

    // Whether `path` still names the open file (it was not deleted, renamed or replaced).
    bool isFileAt(const QString& path) const;

    // The file's current size in bytes.
    HRESULT fileSize(uint64_t* out) const;

    // Maps the first `bytes` of the file, replacing an earlier mapping. With ReadWrite a shorter
    // file is first grown (never shrunk) to `bytes`; with ReadOnly `bytes` beyond the file's end
    // is E_INVALIDARG. On failure the earlier mapping stays as it was, and so does the file's
    // length.
    HRESULT map(size_t bytes);
    // Maps the file as long as it is now (ReadOnly readers). An empty file maps nothing.
    HRESULT mapWhole();
    void unmap();
    void close();
    // Exchanges files and mappings with `other` (a writer that switches to a file it prepared).
    void swap(MappedFile& other) noexcept;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    int fd() const { return fd_; }

private:
    void shrinkBack(uint64_t bytes);

    int fd_ = -1;
    Access access_ = Access::ReadOnly;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

} // namespace kavro

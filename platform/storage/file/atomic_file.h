#pragma once
// Whole-file writes that never leave a half-written document behind: the bytes go to a temporary
// file in the target's folder, are flushed to disk, and only then take the target's name.
#include "com/hresult.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <sys/types.h>

enum class WriteMode {
    Replace, // an existing file is replaced in one step
    CreateNew, // an existing file is never touched; the write fails with ERROR_FILE_EXISTS
};

// Returned by readWholeFile when the file exceeds its cap, and by the writes when the file would
// grow past what the file system or the process may hold (EFBIG).
constexpr HRESULT kFileTooLargeError = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

// Replaces `path` atomically. A symbolic link at `path` is followed, so the link survives. An
// existing file keeps its permission bits; a new one gets the default mode (0666 less umask).
// On failure the old file is untouched and no temporary file remains.
HRESULT writeFileReplace(const QString& path, const QByteArray& bytes);

// As above, but the file ends up with exactly `mode` (no umask), whatever mode it had: for files
// that must stay private to their owner.
HRESULT writeFileReplace(const QString& path, const QByteArray& bytes, mode_t mode);

// Creates `path` with `bytes`, failing with HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) when anything
// (even a dangling link) already has that name, also when it appears while we write.
HRESULT writeFileCreateNew(const QString& path, const QByteArray& bytes);

HRESULT writeFileAtomically(const QString& path, const QByteArray& bytes, WriteMode mode);
// The same for a file whose bytes are `pieces` one after the other, written without joining them.
HRESULT writeFileAtomically(const QString& path, std::span<const QByteArray> pieces, WriteMode mode);

// Reads up to `count` bytes from the start of a regular file (fewer when it is shorter).
HRESULT readFileHead(const QString& path, qsizetype count, QByteArray* out);

// Reads a regular file whole. Larger files than `maxBytes` give kFileTooLargeError.
HRESULT readWholeFile(const QString& path, QByteArray* out, int64_t maxBytes);

// A regular file kept open for reads at any offset, for readers that want only parts of a large
// file. Shared by its holders; closed with the last.
class FileAtOffsets {
public:
    static HRESULT open(const QString& path, std::shared_ptr<const FileAtOffsets>* out);
    FileAtOffsets(const FileAtOffsets&) = delete;
    FileAtOffsets& operator=(const FileAtOffsets&) = delete;
    ~FileAtOffsets();

    // The size when it was opened.
    int64_t size() const { return size_; }
    // Reads exactly `length` bytes at `offset`; false when the file now ends before them or the
    // read fails.
    bool readAt(uint64_t offset, char* to, uint64_t length) const;

private:
    FileAtOffsets(int fd, int64_t size) : fd_(fd), size_(size) { }
    int fd_;
    int64_t size_;
};

#pragma once
// Reads compound files (versions 3 and 4): the root's class id and the streams directly under
// the root. Every structure is bounds- and loop-checked, so hostile files give an error, never a
// crash, a hang or an absurd allocation.
#include "com/guid.h"
#include "com/hresult.h"
#include "storage/file/atomic_file.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class CompoundFileReader {
public:
    // Files above this size are refused rather than read into memory.
    static constexpr int64_t kMaxFileBytes = int64_t(1) << 30;

    CompoundFileReader() = default;

    // Files up to this size are read whole, in one call, as fromBytes reads them: their tables and
    // streams would cost more reads than the one copy saved.
    static constexpr int64_t kReadWholeBytes = int64_t(1) << 20;

    // Reads the file's tables now and each stream when it is asked for, straight from the file
    // into the stream's own bytes: a file of many streams is read once, not read and then copied.
    // A file of at most `readWholeUpTo` bytes is read whole instead.
    static HRESULT open(const QString& path, CompoundFileReader* out, int64_t readWholeUpTo = kReadWholeBytes);
    static HRESULT fromBytes(QByteArray bytes, CompoundFileReader* out);

    Guid rootClassId() const { return rootClassId_; }
    QStringList streamNames() const; // in the directory's order
    bool hasStream(const QString& name) const;
    // STG_E_FILENOTFOUND when absent. In a reader made from the file's bytes, a stream stored in
    // one run that is most of the file shares those bytes (copied on write), so no zero byte need
    // follow its last one.
    HRESULT readStream(const QString& name, QByteArray* out) const;
    // As readStream, for the last stream wanted: a stream stored in one run of sectors takes over
    // the file's bytes instead of being copied. The reader is empty afterwards, whatever the result.
    HRESULT takeStream(const QString& name, QByteArray* out);

private:
    struct StreamEntry {
        QString name;
        uint32_t startSector = 0;
        uint64_t size = 0;
    };

    HRESULT parse();
    HRESULT parseHeader(const char* header, uint64_t have);
    HRESULT loadFat(const char* header);
    HRESULT loadDirectory(QByteArray* bytes, std::vector<const char*>* entries); // pointers into bytes
    HRESULT loadMiniStream(const char* rootEntry);
    HRESULT collectRootStreams(const std::vector<const char*>& entries);

    uint32_t sectorCount() const;
    // Copies `length` bytes at `offset` of the file; false unless all of them are in it.
    bool readAt(uint64_t offset, uint64_t length, char* to) const;
    // Copies the first `length` bytes of the sectors of `chain`, each run of consecutive sectors
    // in one piece; false unless all of them are in the file.
    bool readChain(const std::vector<uint32_t>& chain, uint64_t length, char* to) const;
    HRESULT followChain(const std::vector<uint32_t>& table, uint32_t units, uint32_t start, uint64_t wanted,
                        std::vector<uint32_t>* chain) const;
    HRESULT readRegular(uint32_t start, uint64_t size, QByteArray* out) const;
    bool takeRun(uint32_t start, uint64_t size, QByteArray* out);
    // Whether the chain from `start` is `sectors` consecutive sectors and ends there.
    bool isEndingRun(uint32_t start, uint64_t sectors) const;
    HRESULT readMini(uint32_t start, uint64_t size, QByteArray* out) const;

    // The file's bytes when made from them; else the file itself, read where needed.
    QByteArray data_;
    std::shared_ptr<const FileAtOffsets> file_;
    uint64_t size_ = 0;
    uint16_t majorVersion_ = 0;
    uint32_t sectorShift_ = 0;
    uint32_t sectorSize_ = 0;
    uint32_t fatSectorCount_ = 0;
    uint32_t firstDirSector_ = 0;
    uint32_t firstMiniFatSector_ = 0;
    uint32_t firstDifatSector_ = 0;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::vector<uint32_t> miniStreamSectors_;
    uint64_t miniStreamSize_ = 0;
    Guid rootClassId_;
    std::vector<StreamEntry> streams_;
    QHash<QString, qsizetype> streamIndex_; // by nameKey
};

// True when the file begins with the compound-file signature.
bool isCompoundFile(const QString& path);
// The same for a file's bytes.
bool hasCompoundFileSignature(const QByteArray& bytes);

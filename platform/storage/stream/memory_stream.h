#pragma once
// An IStream over bytes in memory: what objects save into before a file is written, and what
// they load from after a file is read.
#include "com/persist.h"

#include <QByteArray>

namespace kavro {

class MemoryStream final : public ComObject<MemoryStream, IStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(QByteArray bytes) : bytes_(std::move(bytes)) { }

    HRESULT Read(void* buffer, uint32_t cb, uint32_t* read) override;
    HRESULT Write(const void* buffer, uint32_t cb, uint32_t* written) override;
    HRESULT Seek(int64_t move, StreamSeek origin, uint64_t* newPosition) override;
    HRESULT SetSize(uint64_t size) override;
    HRESULT GetSize(uint64_t* size) override;

    const QByteArray& bytes() const { return bytes_; }
    uint64_t position() const { return pos_; }

private:
    QByteArray bytes_;
    uint64_t pos_ = 0;
};

} // namespace kavro

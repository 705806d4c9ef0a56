#pragma once
// An IStream over bytes in memory: what objects save into before a file is written, and what
// they load from after a file is read.
#include "com/persist.h"

#include <QByteArray>

#include <cstring>

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

    // Read for callers that need all `cb` bytes: E_FAIL when fewer are left (those are read, as
    // Read would). Inline, so that the fixed-size reads of loading need no call.
    HRESULT readExact(void* buffer, uint32_t cb)
    {
        const uint64_t size = static_cast<uint64_t>(bytes_.size());
        if (buffer && pos_ <= size && size - pos_ >= cb) {
            std::memcpy(buffer, bytes_.constData() + pos_, cb);
            pos_ += cb;
            return S_OK;
        }
        uint32_t got = 0;
        const HRESULT hr = Read(buffer, cb, &got);
        return FAILED(hr) ? hr : got == cb ? S_OK : E_FAIL;
    }

    const QByteArray& bytes() const { return bytes_; }
    uint64_t position() const { return pos_; }

private:
    QByteArray bytes_;
    uint64_t pos_ = 0;
};

} // namespace kavro

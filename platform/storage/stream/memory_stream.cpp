#include "memory_stream.h"

#include <cstring>
#include <limits>

namespace kavro {

namespace {
// QByteArray holds at most this many bytes; larger streams are refused rather than wrapped.
constexpr uint64_t kMaxBytes = static_cast<uint64_t>(std::numeric_limits<qsizetype>::max() / 2);
} // namespace

HRESULT MemoryStream::Read(void* buffer, uint32_t cb, uint32_t* read)
{
    if (!buffer && cb)
        return STG_E_INVALIDPOINTER;
    uint64_t size = static_cast<uint64_t>(bytes_.size());
    uint64_t n = pos_ >= size ? 0 : std::min<uint64_t>(cb, size - pos_);
    if (n)
        std::memcpy(buffer, bytes_.constData() + pos_, n);
    pos_ += n;
    if (read)
        *read = static_cast<uint32_t>(n);
    return S_OK;
}

HRESULT MemoryStream::Write(const void* buffer, uint32_t cb, uint32_t* written)
{
    if (written)
        *written = 0;
    if (!buffer && cb)
        return STG_E_INVALIDPOINTER;
    uint64_t end = pos_ + cb;
    if (end > kMaxBytes)
        return STG_E_MEDIUMFULL;
    if (end > static_cast<uint64_t>(bytes_.size()))
        bytes_.resize(static_cast<qsizetype>(end));
    if (cb)
        std::memcpy(bytes_.data() + pos_, buffer, cb);
    pos_ = end;
    if (written)
        *written = cb;
    return S_OK;
}

HRESULT MemoryStream::Seek(int64_t move, StreamSeek origin, uint64_t* newPosition)
{
    int64_t base = 0;
    switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<int64_t>(pos_); break;
    case STREAM_SEEK_END: base = static_cast<int64_t>(bytes_.size()); break;
    default: return STG_E_INVALIDPOINTER;
    }
    if ((move < 0 && base + move < 0)
        || (move > 0 && static_cast<uint64_t>(base) + static_cast<uint64_t>(move) > kMaxBytes))
        return STG_E_INVALIDPOINTER;
    pos_ = static_cast<uint64_t>(base + move);
    if (newPosition)
        *newPosition = pos_;
    return S_OK;
}

HRESULT MemoryStream::SetSize(uint64_t size)
{
    if (size > kMaxBytes)
        return STG_E_MEDIUMFULL;
    bytes_.resize(static_cast<qsizetype>(size));
    return S_OK;
}

HRESULT MemoryStream::GetSize(uint64_t* size)
{
    if (!size)
        return E_POINTER;
    *size = static_cast<uint64_t>(bytes_.size());
    return S_OK;
}

} // namespace kavro

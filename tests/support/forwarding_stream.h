#pragma once
// A stream that is not a memory stream, so that readers take the road every other stream takes.
#include "storage/stream/memory_stream.h"

class ForwardingStream final : public ComObject<ForwardingStream, IStream> {
public:
    explicit ForwardingStream(QByteArray bytes) : inner_(kavro::MemoryStream::create(std::move(bytes))) { }
    HRESULT Read(void* b, uint32_t cb, uint32_t* read) override { return inner_->Read(b, cb, read); }
    HRESULT Write(const void* b, uint32_t cb, uint32_t* written) override { return inner_->Write(b, cb, written); }
    HRESULT Seek(int64_t move, StreamSeek origin, uint64_t* at) override { return inner_->Seek(move, origin, at); }
    HRESULT SetSize(uint64_t size) override { return inner_->SetSize(size); }
    HRESULT GetSize(uint64_t* size) override { return inner_->GetSize(size); }
    uint64_t position() const { return inner_->position(); }

private:
    ComPtr<kavro::MemoryStream> inner_;
};

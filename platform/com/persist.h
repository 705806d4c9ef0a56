#pragma once
// Byte streams and stream persistence, shaped like their COM counterparts so that the object
// classes read as the system's own code expects.
#include "unknown.h"

enum StreamSeek : int { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

struct IStream : IUnknown {
    static constexpr Guid iid = Guid::parse("0000000C-0000-0000-C000-000000000046");
    // Reads up to cb bytes; fewer at the end of the stream (S_OK with *read < cb).
    virtual HRESULT Read(void* buffer, uint32_t cb, uint32_t* read) = 0;
    // Writes all cb bytes or fails.
    virtual HRESULT Write(const void* buffer, uint32_t cb, uint32_t* written) = 0;
    virtual HRESULT Seek(int64_t move, StreamSeek origin, uint64_t* newPosition) = 0;
    virtual HRESULT SetSize(uint64_t size) = 0;
    // The stream's size in bytes (the one field of STATSTG the system reads).
    virtual HRESULT GetSize(uint64_t* size) = 0;
};

struct IPersist : IUnknown {
    static constexpr Guid iid = Guid::parse("0000010C-0000-0000-C000-000000000046");
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistStream : IPersist {
    static constexpr Guid iid = Guid::parse("00000109-0000-0000-C000-000000000046");
    using Base = IPersist;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;
};

struct IPersistStreamInit : IPersist {
    static constexpr Guid iid = Guid::parse("7FD52380-4E07-101B-AE2D-08002B2EC713");
    using Base = IPersist;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(uint64_t* size) = 0;
    virtual HRESULT InitNew() = 0;
};

struct IClassFactory : IUnknown {
    static constexpr Guid iid = Guid::parse("00000001-0000-0000-C000-000000000046");
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

struct ISupportErrorInfo : IUnknown {
    static constexpr Guid iid = Guid::parse("DF0B3D60-548F-101B-8E65-08002B2BD119");
    virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;
};

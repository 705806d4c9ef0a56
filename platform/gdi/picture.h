#pragma once
// Pictures: a metafile or a bitmap behind a COM interface, sized in HIMETRIC (0.01 mm), drawn
// upright into any rectangle, and stored in a compact versioned form of our own.
#include "com/classregistry.h"
#include "metafile.h"

#include <QImage>
#include <memory>
#include <mutex>

class QPainter;

namespace kavro {

enum PictureType : int16_t {
    PICTYPE_UNINITIALIZED = -1,
    PICTYPE_NONE = 0,
    PICTYPE_BITMAP = 1,
    PICTYPE_ENHMETAFILE = 4,
};

struct IPicture : IUnknown {
    static constexpr Guid iid = Guid::parse("FA20DE04-B051-436A-8E85-B35CDC5BA29C");
    virtual HRESULT get_Type(int16_t* type) = 0;
    virtual HRESULT get_Width(int32_t* himetric) = 0;
    virtual HRESULT get_Height(int32_t* himetric) = 0;
    // Draws the whole picture upright into the rectangle (x, y, cx, cy) of the painter's current
    // coordinates; a negative extent counts from the other edge. An empty picture draws nothing.
    virtual HRESULT Render(QPainter* painter, int32_t x, int32_t y, int32_t cx, int32_t cy) = 0;
};

// The picture as properties and method results hand it around.
struct IPictureDisp : IPicture {
    static constexpr Guid iid = Guid::parse("55D37AF0-D70A-423A-A6E6-E2F2730B2E47");
    using Base = IPicture;
};

class Picture final : public ComObject<Picture, IPictureDisp, IPersistStream> {
public:
    static constexpr CLSID clsid = Guid::parse("2CD08BF6-BA5B-4764-AA45-BBA1DB1EF48D");
    static constexpr int32_t kVersion = 1;

    Picture() = default;

    static ComPtr<Picture> fromMetafile(Metafile metafile);
    // A null image makes an empty picture.
    static ComPtr<Picture> fromImage(QImage image);

    // The content, null when the picture is of the other kind or empty.
    std::shared_ptr<const Metafile> metafile() const;
    QImage image() const;

    HRESULT get_Type(int16_t* type) override;
    HRESULT get_Width(int32_t* himetric) override;
    HRESULT get_Height(int32_t* himetric) override;
    HRESULT Render(QPainter* painter, int32_t x, int32_t y, int32_t cx, int32_t cy) override;

    HRESULT GetClassID(CLSID* out) override;
    HRESULT IsDirty() override;
    // The stored form: int32 version, int32 type, uint32 payload size, payload (a PNG file for a
    // bitmap, the metafile's stored form for a metafile, nothing for an empty picture).
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(uint64_t* size) override;

    // Load with the nesting depth of pictures inside metafiles inside pictures.
    HRESULT load(IStream* stream, int depth);

private:
    struct Content {
        int16_t type = PICTYPE_NONE;
        std::shared_ptr<const Metafile> metafile;
        QImage image;
        int32_t width = 0; // HIMETRIC
        int32_t height = 0;
    };
    std::shared_ptr<const Content> content() const;
    void setContent(std::shared_ptr<const Content> content, bool dirty);
    HRESULT payload(const Content& c, QByteArray* bytes) const;

    mutable std::mutex mutex_;
    std::shared_ptr<const Content> content_ = std::make_shared<Content>();
    bool dirty_ = false;
};

} // namespace kavro

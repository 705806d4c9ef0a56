#include "picture.h"

#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_io.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace kavro {

KAVRO_REGISTER_CLASS(Picture, "Kavro.Picture");

namespace {

// A stored bitmap larger than this is refused before it is decoded.
constexpr int64_t kMaxBitmapPixels = 64ll * 1024 * 1024;

// The physical size of a bitmap: its resolution when it has one, else that of a 96 dpi screen.
int32_t himetricOf(int pixels, int dotsPerMeter)
{
    return dotsPerMeter > 0 ? MulDiv(pixels, 100000, dotsPerMeter) : MulDiv(pixels, 2540, 96);
}

HRESULT decodePng(const QByteArray& bytes, QImage* out)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || int64_t(size.width()) * size.height() > kMaxBitmapPixels)
        return E_FAIL;
    QImage image = reader.read();
    if (image.isNull())
        return E_FAIL;
    *out = std::move(image);
    return S_OK;
}

} // namespace

ComPtr<Picture> Picture::fromMetafile(Metafile metafile)
{
    auto p = create();
    auto c = std::make_shared<Content>();
    c->type = PICTYPE_ENHMETAFILE;
    c->width = metafile.himetricWidth();
    c->height = metafile.himetricHeight();
    c->metafile = std::make_shared<const Metafile>(std::move(metafile));
    p->setContent(std::move(c), true);
    return p;
}

ComPtr<Picture> Picture::fromImage(QImage image)
{
    auto p = create();
    auto c = std::make_shared<Content>();
    if (!image.isNull()) {
        c->type = PICTYPE_BITMAP;
        c->width = himetricOf(image.width(), image.dotsPerMeterX());
        c->height = himetricOf(image.height(), image.dotsPerMeterY());
        c->image = std::move(image);
    }
    p->setContent(std::move(c), true);
    return p;
}

std::shared_ptr<const Picture::Content> Picture::content() const
{
    std::lock_guard lock(mutex_);
    return content_;
}

void Picture::setContent(std::shared_ptr<const Content> content, bool dirty)
{
    std::lock_guard lock(mutex_);
    content_ = std::move(content);
    dirty_ = dirty;
}

std::shared_ptr<const Metafile> Picture::metafile() const
{
    return content()->metafile;
}

QImage Picture::image() const
{
    return content()->image;
}

HRESULT Picture::get_Type(int16_t* type)
{
    if (!type)
        return E_POINTER;
    *type = content()->type;
    return S_OK;
}

HRESULT Picture::get_Width(int32_t* himetric)
{
    if (!himetric)
        return E_POINTER;
    *himetric = content()->width;
    return S_OK;
}

HRESULT Picture::get_Height(int32_t* himetric)
{
    if (!himetric)
        return E_POINTER;
    *himetric = content()->height;
    return S_OK;
}

HRESULT Picture::Render(QPainter* painter, int32_t x, int32_t y, int32_t cx, int32_t cy)
{
    if (!painter)
        return E_POINTER;
    auto c = content();
    QRectF dest = QRectF(x, y, cx, cy).normalized();
    if (dest.isEmpty())
        return S_OK;
    if (c->metafile)
        c->metafile->play(painter, dest);
    else if (!c->image.isNull())
        painter->drawImage(dest, c->image);
    return S_OK;
}

HRESULT Picture::GetClassID(CLSID* out)
{
    if (!out)
        return E_POINTER;
    *out = clsid;
    return S_OK;
}

HRESULT Picture::IsDirty()
{
    std::lock_guard lock(mutex_);
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT Picture::payload(const Content& c, QByteArray* bytes) const
{
    if (c.metafile) {
        auto s = MemoryStream::create();
        HRESULT hr = c.metafile->write(s.get());
        if (FAILED(hr))
            return hr;
        *bytes = s->bytes();
    } else if (!c.image.isNull()) {
        QBuffer buffer(bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(c.image))
            return E_FAIL;
    }
    return bytes->size() <= qsizetype(UINT32_MAX) ? S_OK : E_OUTOFMEMORY;
}

HRESULT Picture::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    auto c = content();
    QByteArray bytes;
    HRESULT hr = payload(*c, &bytes);
    if (SUCCEEDED(hr))
        hr = writeValue<int32_t>(stream, kVersion);
    if (SUCCEEDED(hr))
        hr = writeValue<int32_t>(stream, c->type);
    if (SUCCEEDED(hr))
        hr = writeValue<uint32_t>(stream, static_cast<uint32_t>(bytes.size()));
    if (SUCCEEDED(hr))
        hr = writeAll(stream, bytes.constData(), static_cast<uint32_t>(bytes.size()));
    if (SUCCEEDED(hr) && clearDirty) {
        std::lock_guard lock(mutex_);
        dirty_ = false;
    }
    return hr;
}

HRESULT Picture::GetSizeMax(uint64_t* size)
{
    if (!size)
        return E_POINTER;
    QByteArray bytes;
    HRESULT hr = payload(*content(), &bytes);
    if (SUCCEEDED(hr))
        *size = 12 + static_cast<uint64_t>(bytes.size());
    return hr;
}

HRESULT Picture::Load(IStream* stream)
{
    return load(stream, 0);
}

HRESULT Picture::load(IStream* stream, int depth)
{
    if (!stream)
        return E_POINTER;
    int32_t version = 0, type = 0;
    uint32_t size = 0;
    if (FAILED(readVersion(stream, kVersion, &version)) || version < 1 || FAILED(readValue(stream, &type))
        || FAILED(readValue(stream, &size)) || !fitsInStream(stream, size, 1))
        return E_FAIL;
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (FAILED(readExact(stream, bytes.data(), size)))
        return E_FAIL;

    auto c = std::make_shared<Content>();
    c->type = static_cast<int16_t>(type);
    switch (type) {
    case PICTYPE_NONE:
        if (size != 0)
            return E_FAIL;
        break;
    case PICTYPE_BITMAP:
        if (FAILED(decodePng(bytes, &c->image)))
            return E_FAIL;
        c->width = himetricOf(c->image.width(), c->image.dotsPerMeterX());
        c->height = himetricOf(c->image.height(), c->image.dotsPerMeterY());
        break;
    case PICTYPE_ENHMETAFILE: {
        auto s = MemoryStream::create(std::move(bytes));
        Metafile m;
        if (FAILED(m.read(s.get(), depth)) || s->position() != size)
            return E_FAIL;
        c->width = m.himetricWidth();
        c->height = m.himetricHeight();
        c->metafile = std::make_shared<const Metafile>(std::move(m));
        break;
    }
    default: return E_FAIL;
    }
    setContent(std::move(c), false);
    return S_OK;
}

} // namespace kavro

// The stored form of a metafile, little-endian:
//   int32 frame left, top, right, bottom; int32 physical width, height (0.01 mm); uint32 count;
//   then `count` records, each uint32 type, uint32 body size, body.
// Bodies hold int32 coordinates, uint32 colours (0x00BBGGRR), flags and counts, strings in the
// BSTR form, and pictures in the picture's stored form. Every count and size is checked against
// the bytes that remain before anything is allocated.
#include "metafile.h"

#include "overloaded.h"
#include "picture.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <optional>

namespace kavro {
namespace {

constexpr int kMaxPictureDepth = 8; // pictures in metafiles in pictures...
constexpr uint32_t kMinRecordSize = 8;

enum RecordType : uint32_t {
    kSelectPen = 1,
    kSelectBrush,
    kSelectFont,
    kTextColor,
    kSetBkMode,
    kBkColor,
    kFillRect,
    kSetPixel,
    kRectangle,
    kEllipse,
    kPolyline,
    kPolygon,
    kDrawText,
    kBeginPath,
    kEndPath,
    kSelectClipPath,
    kRestoreClip,
    kDrawPicture,
};

class Writer {
public:
    explicit Writer(IStream* s) : s_(s) { }
    void i32(int32_t v) { put(v); }
    void u32(uint32_t v) { put(v); }
    void rect(const GdiRect& r)
    {
        i32(r.left);
        i32(r.top);
        i32(r.right);
        i32(r.bottom);
    }
    void point(const GdiPoint& p)
    {
        i32(p.x);
        i32(p.y);
    }
    void points(const std::vector<GdiPoint>& pts)
    {
        u32(static_cast<uint32_t>(pts.size()));
        for (const GdiPoint& p : pts)
            point(p);
    }
    void text(const QString& t)
    {
        if (SUCCEEDED(hr))
            hr = writeBstr(s_, t);
    }
    void object(IUnknown* o)
    {
        ComPtr<IPersistStream> ps;
        if (SUCCEEDED(hr) && (!o || FAILED(o->QueryInterface(IPersistStream::iid, ps.putVoid()))))
            hr = E_INVALIDARG; // only pictures of ours can be stored
        if (SUCCEEDED(hr))
            hr = ps->Save(s_, 0);
    }
    HRESULT hr = S_OK;

private:
    template <class T> void put(T v)
    {
        if (SUCCEEDED(hr))
            hr = writeValue(s_, v);
    }
    IStream* s_;
};

class Reader {
public:
    explicit Reader(IStream* s) : s_(s) { }
    int32_t i32()
    {
        int32_t v = 0;
        get(&v);
        return v;
    }
    uint32_t u32()
    {
        uint32_t v = 0;
        get(&v);
        return v;
    }
    int32_t coord()
    {
        int32_t v = i32();
        require(v >= -kMaxCoordinate && v <= kMaxCoordinate);
        return v;
    }
    COLORREF color()
    {
        uint32_t v = u32();
        require(v <= 0xFFFFFFu);
        return v;
    }
    GdiRect rect()
    {
        GdiRect r;
        r.left = coord();
        r.top = coord();
        r.right = coord();
        r.bottom = coord();
        return r;
    }
    GdiPoint point()
    {
        GdiPoint p;
        p.x = coord();
        p.y = coord();
        return p;
    }
    std::vector<GdiPoint> points()
    {
        uint32_t n = u32();
        require(fitsInStream(s_, n, 8));
        std::vector<GdiPoint> pts;
        if (!ok)
            return pts;
        pts.reserve(n);
        for (uint32_t i = 0; i < n && ok; ++i)
            pts.push_back(point());
        return pts;
    }
    QString text()
    {
        QString t;
        require(ok && SUCCEEDED(readBstr(s_, &t)));
        return t;
    }
    void require(bool condition) { ok = ok && condition; }
    bool ok = true;

private:
    template <class T> void get(T* v)
    {
        if (ok)
            ok = SUCCEEDED(readValue(s_, v));
    }
    IStream* s_;
};

void writeBody(Writer& w, const MetafileRecord& record)
{
    std::visit(Overloaded{
                   [&](const rec::SelectPen& r) {
                       w.u32(static_cast<uint32_t>(r.pen.style));
                       w.i32(r.pen.width);
                       w.u32(r.pen.color);
                       w.u32(r.pen.insideFrame ? 1 : 0);
                   },
                   [&](const rec::SelectBrush& r) {
                       w.u32(static_cast<uint32_t>(r.brush.style));
                       w.u32(r.brush.color);
                   },
                   [&](const rec::SelectFont& r) {
                       w.i32(r.font.height);
                       w.i32(r.font.weight);
                       w.text(r.font.face);
                   },
                   [&](const rec::TextColor& r) { w.u32(r.color); },
                   [&](const rec::SetBkMode& r) { w.u32(static_cast<uint32_t>(r.mode)); },
                   [&](const rec::BkColor& r) { w.u32(r.color); },
                   [&](const rec::FillRect& r) {
                       w.rect(r.rect);
                       w.u32(r.color);
                   },
                   [&](const rec::SetPixel& r) {
                       w.point(r.point);
                       w.u32(r.color);
                   },
                   [&](const rec::Rectangle& r) { w.rect(r.box); },
                   [&](const rec::Ellipse& r) { w.rect(r.box); },
                   [&](const rec::Polyline& r) { w.points(r.points); },
                   [&](const rec::Polygon& r) {
                       w.u32(static_cast<uint32_t>(r.mode));
                       w.points(r.points);
                   },
                   [&](const rec::DrawText& r) {
                       w.rect(r.rect);
                       w.u32(r.format);
                       w.text(r.text);
                   },
                   [&](const rec::BeginPath&) {},
                   [&](const rec::EndPath&) {},
                   [&](const rec::SelectClipPath& r) { w.u32(static_cast<uint32_t>(r.mode)); },
                   [&](const rec::RestoreClip&) {},
                   [&](const rec::DrawPicture& r) {
                       w.rect(r.box);
                       w.object(r.picture.get());
                   },
               },
               record);
}

std::optional<MetafileRecord> readBody(Reader& r, IStream* body, uint32_t type, int depth)
{
    switch (type) {
    case kSelectPen: {
        GdiPen pen;
        uint32_t style = r.u32();
        r.require(style == 0 || style == 1 || style == 2 || style == 5);
        pen.style = static_cast<PenStyle>(style);
        pen.width = r.i32();
        r.require(pen.width >= 0 && pen.width <= kMaxCoordinate);
        pen.color = r.color();
        uint32_t inside = r.u32();
        r.require(inside <= 1);
        pen.insideFrame = inside == 1;
        return rec::SelectPen{pen};
    }
    case kSelectBrush: {
        uint32_t style = r.u32();
        r.require(style <= 1);
        return rec::SelectBrush{{static_cast<BrushStyle>(style), r.color()}};
    }
    case kSelectFont: {
        GdiFont f;
        f.height = r.i32();
        f.weight = r.i32();
        f.face = r.text();
        r.require(f.height >= -kMaxCoordinate && f.height <= kMaxCoordinate && f.weight >= 0 && f.weight <= 1000);
        return rec::SelectFont{f};
    }
    case kTextColor: return rec::TextColor{r.color()};
    case kSetBkMode: {
        uint32_t m = r.u32();
        r.require(m == 1 || m == 2);
        return rec::SetBkMode{static_cast<BkMode>(m)};
    }
    case kBkColor: return rec::BkColor{r.color()};
    case kFillRect: {
        GdiRect rect = r.rect();
        return rec::FillRect{rect, r.color()};
    }
    case kSetPixel: {
        GdiPoint p = r.point();
        return rec::SetPixel{p, r.color()};
    }
    case kRectangle: return rec::Rectangle{r.rect()};
    case kEllipse: return rec::Ellipse{r.rect()};
    case kPolyline: return rec::Polyline{r.points()};
    case kPolygon: {
        uint32_t m = r.u32();
        r.require(m == 1 || m == 2);
        return rec::Polygon{r.points(), static_cast<FillMode>(m)};
    }
    case kDrawText: {
        rec::DrawText t;
        t.rect = r.rect();
        t.format = r.u32();
        t.text = r.text();
        return t;
    }
    case kBeginPath: return rec::BeginPath{};
    case kEndPath: return rec::EndPath{};
    case kSelectClipPath: {
        uint32_t m = r.u32();
        r.require(m == 2 || m == 5);
        return rec::SelectClipPath{static_cast<ClipMode>(m)};
    }
    case kRestoreClip: return rec::RestoreClip{};
    case kDrawPicture: {
        rec::DrawPicture d;
        d.box = r.rect();
        r.require(depth < kMaxPictureDepth);
        if (!r.ok)
            return std::nullopt;
        auto picture = Picture::create();
        r.require(SUCCEEDED(picture->load(body, depth + 1)));
        d.picture = picture.get();
        return d;
    }
    default: return std::nullopt;
    }
}

} // namespace

HRESULT Metafile::write(IStream* stream) const
{
    if (!stream)
        return E_POINTER;
    Writer w(stream);
    w.rect(frame_);
    w.i32(himetricWidth_);
    w.i32(himetricHeight_);
    w.u32(static_cast<uint32_t>(records_.size()));
    for (const MetafileRecord& record : records_) {
        auto body = MemoryStream::create();
        Writer bw(body.get());
        writeBody(bw, record);
        if (FAILED(bw.hr))
            return bw.hr;
        const QByteArray& bytes = body->bytes();
        w.u32(static_cast<uint32_t>(record.index() + 1));
        w.u32(static_cast<uint32_t>(bytes.size()));
        if (SUCCEEDED(w.hr))
            w.hr = writeAll(stream, bytes.constData(), static_cast<uint32_t>(bytes.size()));
        if (FAILED(w.hr))
            return w.hr;
    }
    return w.hr;
}

HRESULT Metafile::read(IStream* stream, int depth)
{
    if (!stream)
        return E_POINTER;
    Reader r(stream);
    GdiRect frame = r.rect();
    int32_t w = r.i32();
    int32_t h = r.i32();
    uint32_t count = r.u32();
    r.require(w >= 0 && h >= 0 && fitsInStream(stream, count, kMinRecordSize));
    std::vector<MetafileRecord> records;
    if (r.ok)
        records.reserve(count);
    for (uint32_t i = 0; i < count && r.ok; ++i) {
        uint32_t type = r.u32();
        uint32_t size = r.u32();
        r.require(fitsInStream(stream, size, 1));
        if (!r.ok)
            break;
        QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
        r.require(SUCCEEDED(readExact(stream, bytes.data(), size)));
        if (!r.ok)
            break;
        // Each body is read from its own bytes, so that no record can read into the next.
        auto body = MemoryStream::create(std::move(bytes));
        Reader br(body.get());
        std::optional<MetafileRecord> record = readBody(br, body.get(), type, depth);
        r.require(record.has_value() && br.ok && body->position() == size);
        if (r.ok)
            records.push_back(std::move(*record));
    }
    if (!r.ok)
        return E_FAIL;
    *this = Metafile(frame, w, h, std::move(records));
    return S_OK;
}

} // namespace kavro

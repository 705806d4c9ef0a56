#include "gdi/metafile_recorder.h"
#include "gdi/picture.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace kavro;

namespace {

QByteArray saved(IPersistStream* p)
{
    auto s = MemoryStream::create();
    EXPECT_EQ(p->Save(s.get(), 1), S_OK);
    return s->bytes();
}

HRESULT loadFrom(const QByteArray& bytes, ComPtr<Picture>* out = nullptr)
{
    auto p = Picture::create();
    auto s = MemoryStream::create(bytes);
    HRESULT hr = p->Load(s.get());
    if (out)
        *out = p;
    return hr;
}

ComPtr<Picture> sampleMetafilePicture()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    auto inner = Picture::fromImage(image);
    MetafileRecorder r(5.0);
    r.selectPen(GdiPen::inside(3, 0xFF));
    r.ellipse({0, 0, 40, 20});
    r.selectPen(GdiPen::solid(0, 0));
    GdiPoint pts[] = {{1, 1}, {9, 9}, {1, 9}};
    r.polygon(pts, FillMode::Winding);
    GdiRect box{0, 0, 40, 20};
    r.drawText(QStringLiteral("1"), &box, DT_CENTER);
    r.drawPicture(inner.get(), {5, 5, 15, 15});
    return Picture::fromMetafile(r.finish());
}

} // namespace

TEST(PictureStream, EmptyPictureIsTwelveBytes)
{
    auto p = Picture::create();
    int16_t type = 0;
    p->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_NONE);
    const char expected[] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(saved(p.get()), QByteArray(expected, 12));
    EXPECT_EQ(loadFrom(QByteArray(expected, 12)), S_OK);
}

TEST(PictureStream, BitmapRoundTripKeepsPixelsAndPhysicalSize)
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            image.setPixel(x, y, qRgba(x * 30, y * 50, 200, 255));
    image.setDotsPerMeterX(11811); // 300 dpi
    image.setDotsPerMeterY(11811);
    auto p = Picture::fromImage(image);
    EXPECT_EQ(p->IsDirty(), S_OK);
    int32_t w = 0, h = 0;
    p->get_Width(&w);
    p->get_Height(&h);
    EXPECT_EQ(w, 59); // 7 pixels at 300 dpi are 0.59 mm
    EXPECT_EQ(h, 42);

    QByteArray bytes = saved(p.get());
    EXPECT_EQ(p->IsDirty(), S_FALSE);
    EXPECT_EQ(bytes.left(8), QByteArray("\x01\0\0\0\x01\0\0\0", 8));
    EXPECT_EQ(bytes.mid(12, 8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    uint64_t max = 0;
    EXPECT_EQ(p->GetSizeMax(&max), S_OK);
    EXPECT_EQ(max, uint64_t(bytes.size()));

    ComPtr<Picture> back;
    ASSERT_EQ(loadFrom(bytes, &back), S_OK);
    int16_t type = 0;
    back->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_EQ(back->image().convertToFormat(QImage::Format_ARGB32), image);
    back->get_Width(&w);
    EXPECT_EQ(w, 59);
}

TEST(PictureStream, MetafileRoundTripThroughTheObjectForm)
{
    auto p = sampleMetafilePicture();
    auto s = MemoryStream::create();
    ASSERT_EQ(writeObject(s.get(), p->identity()), S_OK);
    ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IUnknown> obj;
    ASSERT_EQ(readObject(s.get(), &obj), S_OK); // recreated by its class id
    ComPtr<IPictureDisp> disp = obj.query<IPictureDisp>();
    ASSERT_TRUE(disp);
    int16_t type = 0;
    int32_t w = 0, h = 0;
    disp->get_Type(&type);
    disp->get_Width(&w);
    disp->get_Height(&h);
    EXPECT_EQ(type, PICTYPE_ENHMETAFILE);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    auto back = static_cast<Picture*>(disp.get());
    ASSERT_TRUE(back->metafile());
    const auto& recs = back->metafile()->records();
    ASSERT_EQ(recs.size(), p->metafile()->records().size());
    for (size_t i = 0; i + 1 < recs.size(); ++i)
        EXPECT_EQ(recs[i], p->metafile()->records()[i]);
    // Saving what was loaded gives the same bytes.
    EXPECT_EQ(saved(back), saved(p.get()));
}

TEST(PictureStream, DamagedStreamsFailCleanly)
{
    QByteArray good = saved(sampleMetafilePicture().get());
    ASSERT_EQ(loadFrom(good), S_OK);
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_EQ(loadFrom(good.left(n)), E_FAIL) << "truncated to " << n;
    for (qsizetype i = 0; i < good.size(); ++i) { // no byte change may crash
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0xA5);
        loadFrom(bad);
    }

    ComPtr<Picture> kept;
    ASSERT_EQ(loadFrom(good, &kept), S_OK);
    QByteArray newer = good;
    newer[0] = 2;
    auto s = MemoryStream::create(newer);
    EXPECT_EQ(kept->Load(s.get()), E_FAIL);
    int16_t type = 0;
    kept->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_ENHMETAFILE); // a failed load leaves the picture as it was

    auto header = [](int32_t kind, uint32_t size) {
        QByteArray b(12, 0);
        b[0] = 1;
        std::memcpy(b.data() + 4, &kind, 4);
        std::memcpy(b.data() + 8, &size, 4);
        return b;
    };
    EXPECT_EQ(loadFrom(header(PICTYPE_BITMAP, 0xFFFFFFF0u)), E_FAIL);
    EXPECT_EQ(loadFrom(header(3, 0)), E_FAIL);
    EXPECT_EQ(loadFrom(header(PICTYPE_NONE, 1) + QByteArray(1, 0)), E_FAIL);
    EXPECT_EQ(loadFrom(header(PICTYPE_BITMAP, 8) + QByteArray("notapng!")), E_FAIL);

    // A metafile claiming a billion records in a few bytes.
    QByteArray mf(28, 0);
    uint32_t count = 1000000000u;
    std::memcpy(mf.data() + 24, &count, 4);
    EXPECT_EQ(loadFrom(header(PICTYPE_ENHMETAFILE, 28) + mf), E_FAIL);
    // A polyline claiming more points than its body holds.
    QByteArray one(28, 0);
    one[24] = 1;
    const uint32_t polyline[] = {11, 12, 1000, 0, 0};
    one.append(reinterpret_cast<const char*>(polyline), sizeof polyline);
    EXPECT_EQ(loadFrom(header(PICTYPE_ENHMETAFILE, uint32_t(one.size())) + one), E_FAIL);
    // A huge PNG header is refused before it is decoded.
    QImage big(1, 1, QImage::Format_RGB32);
    big.fill(0);
    QByteArray png = saved(Picture::fromImage(big).get()).mid(12);
    png[16] = 0x7F; // width in the IHDR chunk
    EXPECT_EQ(loadFrom(header(PICTYPE_BITMAP, uint32_t(png.size())) + png), E_FAIL);
}

TEST(PictureStream, NestingDepthIsBounded)
{
    auto nest = [](int levels) {
        ComPtr<Picture> p = Picture::fromImage(QImage(1, 1, QImage::Format_RGB32));
        for (int i = 0; i < levels; ++i) {
            MetafileRecorder r;
            r.drawPicture(p.get(), {0, 0, 1, 1});
            p = Picture::fromMetafile(r.finish());
        }
        return saved(p.get());
    };
    EXPECT_EQ(loadFrom(nest(8)), S_OK);
    EXPECT_EQ(loadFrom(nest(9)), E_FAIL);
}

// Inputs the fuzzer once found harmful stay here: each loads or is refused, and draws safely.
TEST(PictureCorpus, EveryKeptInputLoadsOrFailsAndDraws)
{
    QDir dir(QStringLiteral(KAVRO_TEST_SOURCE_DIR "/gdi/corpus"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        auto picture = kavro::Picture::create();
        auto stream = kavro::MemoryStream::create(file.readAll());
        if (SUCCEEDED(picture->Load(stream.get()))) {
            QImage image(32, 32, QImage::Format_RGB32);
            QPainter painter(&image);
            EXPECT_EQ(picture->Render(&painter, 0, 0, 32, 32), S_OK) << name.toStdString();
        }
    }
}

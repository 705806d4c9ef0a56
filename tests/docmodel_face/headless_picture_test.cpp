// Without any GUI application: an event whose target and element carry pictures saves, loads back
// with the pictures as our picture class, and only drawing its face is refused.
#include "event_params.h"
#include "face_test_support.h"
#include "com/classregistry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kavrodoc;

namespace {

QImage checkerboard()
{
    QImage image(8, 4, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, (x + y) % 2 ? 0xFF102030 : 0xFFF0E0D0);
    return image;
}

void expectOurPicture(const ComPtr<IUnknown>& loaded, const QImage& expected)
{
    ASSERT_TRUE(loaded);
    auto persist = loaded.query<IPersistStream>();
    ASSERT_TRUE(persist);
    CLSID id;
    ASSERT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_EQ(id, kavro::Picture::clsid);
    auto picture = loaded.query<kavro::IPictureDisp>();
    ASSERT_TRUE(picture);
    int16_t type = 0;
    picture->get_Type(&type);
    EXPECT_EQ(type, kavro::PICTYPE_BITMAP);
    QImage image = static_cast<kavro::Picture*>(picture.get())->image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image, expected);
}

TEST(HeadlessEvents, PicturesOfTargetsAndElementsReloadAsPictures)
{
    ASSERT_EQ(qobject_cast<QGuiApplication*>(QCoreApplication::instance()), nullptr);
    QTemporaryDir dir;
    qputenv("KAVRO_EVENTS_DIR", dir.path().toLocal8Bit());
    const QImage image = checkerboard();
    {
        ComPtr<IEventParams> e = CEventParams::create();
        e->put_ShortName(QStringLiteral("PIC"));
        e->put_Name(QStringLiteral("Picture target"));
        ComPtr<ITargetParams> t;
        ASSERT_EQ(e->get_Target(1, t.put()), S_OK);
        t->put_FormWidth(80);
        t->put_FormHeight(80);
        ASSERT_EQ(t->put_Picture(facetest::bitmapPicture(image).get()), S_OK);
        ComPtr<ITargetElement> element;
        ASSERT_EQ(t->AddElement(elementPicture, -10, -10, 20, 20, element.put()), S_OK);
        ASSERT_EQ(element->put_Picture(facetest::bitmapPicture(image).get()), S_OK);
        ASSERT_EQ(e->Save(), S_OK);
    }

    ComPtr<IEventManager> manager;
    ASSERT_EQ(createInstance(CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> e;
    ASSERT_EQ(manager->FindByShortName(QStringLiteral("PIC"), e.put()), S_OK);
    ComPtr<ITargetParams> t;
    ASSERT_EQ(e->get_Target(1, t.put()), S_OK);
    ComPtr<IUnknown> targetPicture;
    ASSERT_EQ(t->get_Picture(targetPicture.put()), S_OK);
    expectOurPicture(targetPicture, image);
    ComPtr<ITargetElement> element;
    ASSERT_EQ(t->Elements(1, element.put()), S_OK);
    ComPtr<IUnknown> elementPicture;
    ASSERT_EQ(element->get_Picture(elementPicture.put()), S_OK);
    expectOurPicture(elementPicture, image);

    // Drawing needs fonts, and fonts need a GUI application: a clear error, not a crash.
    ComPtr<IUnknown> face;
    EXPECT_EQ(e->GetTargetAppearance(1, VARIANT_TRUE, VARIANT_TRUE, face.put()), E_UNEXPECTED);
    EXPECT_FALSE(face);
    qunsetenv("KAVRO_EVENTS_DIR");
}

} // namespace

// Without any GUI application: an event whose target and element carry pictures saves, loads back
// with the pictures as our picture class, and its face is drawn as a GUI application draws it.
#include "event_params.h"
#include "face_test_support.h"
#include "com/classregistry.h"
#include "storage/stream/memory_stream.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QFile>
#include <QProcess>
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

    ComPtr<IUnknown> face;
    EXPECT_EQ(e->GetTargetAppearance(1, VARIANT_TRUE, VARIANT_TRUE, face.put()), S_OK);
    EXPECT_TRUE(face);
    qunsetenv("KAVRO_EVENTS_DIR");
}

// The stored faces of the bundled air rifle event in all four forms.
QByteArray bundledFaces()
{
    qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
    ComPtr<IEventManager> manager;
    EXPECT_EQ(createInstance(CLSID_EventManager, &manager), S_OK);
    ComPtr<IEventParams> e;
    EXPECT_EQ(manager->FindByShortName(QStringLiteral("AR10"), e.put()), S_OK);
    QByteArray out;
    for (bool background : {true, false}) {
        for (bool rings : {true, false}) {
            ComPtr<kavro::Picture> p = facetest::appearance(e.get(), 1, background, rings);
            if (!p || !p->metafile())
                return {};
            auto s = kavro::MemoryStream::create();
            EXPECT_EQ(p->metafile()->write(s.get()), S_OK);
            out += s->bytes();
        }
    }
    qunsetenv("KAVRO_EVENTS_DIR");
    return out;
}

// Run only as the child of the test below, which asks for the faces as a GUI application draws them.
TEST(HeadlessFace, WrittenByAGuiApplication)
{
    const QByteArray target = qgetenv("KAVRO_FACES_WITH_GUI");
    if (target.isEmpty())
        GTEST_SKIP() << "run by HeadlessFace.DrawnAsAGuiApplicationDrawsIt";
    static int argc = 1;
    static char name[] = "faces";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    QFile file(QString::fromLocal8Bit(target));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bundledFaces());
}

TEST(HeadlessFace, DrawnAsAGuiApplicationDrawsIt)
{
    if (QCoreApplication::instance())
        GTEST_SKIP() << "only without an application";
    const QByteArray headless = bundledFaces();
    ASSERT_FALSE(headless.isEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("faces"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAVRO_FACES_WITH_GUI"), path);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                {QStringLiteral("--gtest_filter=HeadlessFace.WrittenByAGuiApplication")});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().constData();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), headless);
}

} // namespace

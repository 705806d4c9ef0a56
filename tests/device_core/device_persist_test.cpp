// The control's persisted extent (streams and property bags) and its face.
#include "support/device_fixture.h"

#include "com/olecolor.h"
#include "device/control/device_face.h"
#include "support/map_property_bag.h"
#include "storage/stream/memory_stream.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

namespace devtest {
namespace {

using Bag = kavro::testing::MapPropertyBag;

QByteArray le32(uint32_t v)
{
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>(v >> (8 * i));
    return b;
}

TEST_F(DeviceTest, TheExtentIsTheOnlyPersistedStateInStreams)
{
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(device->QueryInterface(IPersistStreamInit::iid, persist.putVoid()), S_OK);
    CLSID id{};
    ASSERT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_EQ(id, kavrodev::CLSID_KavroDevice);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // 30 x 30 pixels at 96 dpi are 794 x 794 HIMETRIC; settings are not part of it.
    ASSERT_EQ(device->put_SampleRate(300), S_OK);
    auto saved = MemoryStream::create();
    ASSERT_EQ(persist->Save(saved.get(), 1), S_OK);
    EXPECT_EQ(saved->bytes(), le32(1) + le32(794) + le32(794));
    uint64_t size = 0;
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size, uint64_t(saved->bytes().size()));

    auto other = MemoryStream::create(le32(1) + le32(2000) + le32(1000));
    ASSERT_EQ(persist->Load(other.get()), S_OK);
    EXPECT_EQ(control().Extent(), (std::array<uint32_t, 2>{2000, 1000}));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    // A newer version and a short stream are refused and leave the extent alone.
    auto newer = MemoryStream::create(le32(2) + le32(5) + le32(5));
    EXPECT_EQ(persist->Load(newer.get()), E_FAIL);
    auto shortStream = MemoryStream::create(le32(1) + le32(5));
    EXPECT_EQ(persist->Load(shortStream.get()), E_FAIL);
    EXPECT_EQ(control().Extent(), (std::array<uint32_t, 2>{2000, 1000}));
}

TEST_F(DeviceTest, TheExtentTravelsThroughPropertyBags)
{
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(device->QueryInterface(IPersistPropertyBag::iid, persist.putVoid()), S_OK);
    auto bag = Bag::create();
    ASSERT_EQ(persist->Save(bag.get(), 1, 1), S_OK);
    ASSERT_EQ(bag->values.size(), 2u);
    EXPECT_EQ(bag->values[QStringLiteral("_cx")], Variant::fromInteger(VT_UI4, 794));
    EXPECT_EQ(bag->values[QStringLiteral("_cy")], Variant::fromInteger(VT_UI4, 794));

    // A host may keep the numbers as text; a missing one keeps the current value.
    auto loaded = Bag::create();
    loaded->values[QStringLiteral("_cx")] = Variant(QStringLiteral("1500"));
    ASSERT_EQ(persist->Load(loaded.get()), S_OK);
    EXPECT_EQ(control().Extent(), (std::array<uint32_t, 2>{1500, 794}));
    loaded->values[QStringLiteral("_cy")] = Variant(QStringLiteral("wide"));
    EXPECT_EQ(persist->Load(loaded.get()), E_FAIL);
    EXPECT_EQ(control().Extent(), (std::array<uint32_t, 2>{1500, 794}));
}

QApplication* application()
{
    static int argc = 1;
    static char name[] = "device_core_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    return app;
}

TEST_F(DeviceTest, TheFaceIsASunkenButtonWithTheBitmapCentred)
{
    application();
    ComPtr<IKavroDeviceWindow> window;
    ASSERT_EQ(device->QueryInterface(IKavroDeviceWindow::iid, window.putVoid()), S_OK);
    QWidget parent;
    QWidget* face = nullptr;
    ASSERT_EQ(window->CreateWidget(&parent, &face), S_OK);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->size(), QSize(30, 30));
    QWidget* second = nullptr;
    EXPECT_EQ(window->CreateWidget(&parent, &second), E_UNEXPECTED);

    const QImage shot = face->grab().toImage();
    QDir().mkpath(QStringLiteral(KAVRO_BIN_DIR "/../screens"));
    shot.save(QStringLiteral(KAVRO_BIN_DIR "/../screens/device_face.png"));
    auto colour = [](int index) {
        const COLORREF c = systemColor(index);
        return qRgb(redOf(c), greenOf(c), blueOf(c));
    };
    EXPECT_EQ(shot.pixel(0, 0), colour(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.pixel(15, 0), colour(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.pixel(0, 15), colour(COLOR_BTNSHADOW));
    EXPECT_EQ(shot.pixel(29, 29), colour(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.pixel(29, 15), colour(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.pixel(15, 29), colour(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(shot.pixel(3, 3), colour(COLOR_BTNFACE));
    EXPECT_EQ(shot.pixel(26, 26), colour(COLOR_BTNFACE));
    // The bitmap's 16 x 15 cell starts at (7, 7): the card's black lies at its (5, 5) +- 2.
    EXPECT_EQ(shot.pixel(7 + 5, 7 + 3), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(7 + 1, 7 + 1), qRgb(255, 255, 255));

    // A loaded extent resizes the face; once it is gone a new one can be made.
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(device->QueryInterface(IPersistStreamInit::iid, persist.putVoid()), S_OK);
    auto other = MemoryStream::create(le32(1) + le32(1270) + le32(2540));
    ASSERT_EQ(persist->Load(other.get()), S_OK);
    EXPECT_EQ(face->size(), QSize(48, 96));
    delete face;
    ASSERT_EQ(window->CreateWidget(nullptr, &second), S_OK);
    delete second;
}

} // namespace
} // namespace devtest

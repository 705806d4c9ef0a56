#include "start_practice_dialog.h"

#include "app_options.h"
#include "app_registry.h"

#include "com/classregistry.h"
#include "support/image_sensor_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kavro;
using namespace kavro::practice;

namespace {

class FakeEnumerator : public DeviceEnumerator {
public:
    std::vector<std::pair<int, QString>> serial;
    std::map<UsbKind, std::vector<UsbFound>> usb;
    std::vector<std::pair<int, QString>> serialDevices(IKavroDevice*) override { return serial; }
    std::vector<UsbFound> usbDevices(UsbKind kind) override { return usb[kind]; }
    bool present(UsbKind kind, const QString& path) override
    {
        for (const UsbFound& f : usb[kind])
            if (f.path == path)
                return true;
        return false;
    }
};

QStringList itemTexts(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

class StartPracticeDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        theAppOptions() = AppOptions();
        theAppOptions().EnableRS232 = true;
        theAppOptions().FiringPoint = 3;
        CStartPracticeDlg::setMessageHook([this](const QString& text, QMessageBox::Icon) { messages << text; });
        ASSERT_EQ(createInstance(kavrodev::CLSID_KavroDevice, &device), S_OK);
        devices = std::make_shared<FakeEnumerator>();
        devices->serial = {{5, "Vantage"}};
        devices->usb[UsbKind::Sensor] = {{"usb:1-1:4b56:0010", true, 0, {}}, {"usb:1-2:4b56:0010", false, 0, {}}};
        devices->usb[UsbKind::ImageSensor] = {{"usb:1-3:4b56:0022", false, 0, "The sensor is not ready."}};
        devices->usb[UsbKind::Wireless] = {{"usb:1-4:4b56:0012", false, 0, {}}};
        OpenAppRegistryKey().deleteValue("EventName");
        OpenAppRegistryKey().deleteValue("ShooterName");
    }
    void TearDown() override
    {
        CStartPracticeDlg::setMessageHook(nullptr);
        if (device)
            device->put_Connected(VARIANT_FALSE);
    }
    void selectEvent(CStartPracticeDlg& d, const QString& startsWith)
    {
        const auto items = d.eventList()->findItems(startsWith, Qt::MatchStartsWith);
        ASSERT_FALSE(items.isEmpty()) << startsWith.toStdString();
        d.eventList()->setCurrentItem(items.first());
    }

    ComPtr<IKavroDevice> device;
    std::shared_ptr<FakeEnumerator> devices;
    QStringList messages;
};

} // namespace

TEST_F(StartPracticeDialogTest, DevicesAreListedByClassWithTheirNumbers)
{
    CStartPracticeDlg d(device.get(), {}, {}, nullptr, devices);
    EXPECT_EQ(itemTexts(d.deviceCombo()),
              QStringList({"COM5: Vantage", "Kavro USB #1 - busy", "Kavro USB #2", "Kavro Wireless #1"}));
    EXPECT_EQ(d.deviceCombo()->itemData(0).toInt(), 5);
    EXPECT_EQ(d.deviceCombo()->itemData(2).toInt(), 258);
    EXPECT_EQ(d.deviceCombo()->itemData(3).toInt(), 1024);
    // An image sensor that cannot be opened is told and left out.
    EXPECT_EQ(messages, QStringList({"The sensor is not ready."}));
    EXPECT_EQ(d.sensorCombo()->count(), 4);
    EXPECT_EQ(d.sensorCombo()->itemText(0), QString("Sensor on the bottom"));

    d.resize(520, 480);
    d.show();
    QDir().mkpath(KAVRO_SCREENS_DIR);
    d.grab().save(QStringLiteral(KAVRO_SCREENS_DIR "/start_practice_dialog.png"));
    d.deviceCombo()->setCurrentIndex(2);
    EXPECT_EQ(itemTexts(d.sensorCombo()),
              QStringList({"Target at 5-12 meters", "Target at 25 meters. (Set switch to 7)",
                           "Target at 50 meters. (Set switch to 1)"}));
    EXPECT_FALSE(d.sensorCombo()->isHidden());
    d.deviceCombo()->setCurrentIndex(3);
    EXPECT_TRUE(d.sensorCombo()->isHidden());

    // Serial sensors are looked for only with the option.
    theAppOptions().EnableRS232 = false;
    CStartPracticeDlg e(device.get(), {}, {}, nullptr, devices);
    EXPECT_EQ(e.deviceCombo()->itemText(0), QString("Kavro USB #1 - busy"));
}

TEST_F(StartPracticeDialogTest, NoDeviceTellsAndCancels)
{
    devices = std::make_shared<FakeEnumerator>();
    CStartPracticeDlg d(device.get(), {}, {}, nullptr, devices);
    EXPECT_EQ(d.exec(), int(QDialog::Rejected));
    EXPECT_EQ(messages, QStringList({"KAVRO device was not found"}));
}

TEST_F(StartPracticeDialogTest, NoDeviceIsToldOverTheFrameThatOpenedTheDialog)
{
    CStartPracticeDlg::setMessageHook(nullptr);
    QWidget frame;
    frame.setGeometry(300, 200, 900, 700);
    frame.show();
    QRect box;
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box = shown->geometry();
            text = shown->text();
            shown->accept();
        }
    });
    poll.start(10);
    devices = std::make_shared<FakeEnumerator>();
    CStartPracticeDlg d(device.get(), {}, {}, &frame, devices);
    EXPECT_EQ(text, QString("KAVRO device was not found"));
    // Centred by the box's first size: its middle lies in the middle third of the frame.
    const QPoint off = box.center() - frame.geometry().center();
    EXPECT_LT(std::abs(off.x()), frame.width() / 6) << box.x() << "," << box.y();
    EXPECT_LT(std::abs(off.y()), frame.height() / 6) << box.x() << "," << box.y();
}

TEST_F(StartPracticeDialogTest, StartAsksForNameAndEventAndStaysOpenWhenTheDeviceDoesNotConnect)
{
    // A damaged sensitivity would make every sample a shot; the device gets the default.
    OpenAppRegistryKey().writeDword("PiezoSensitivity", 0xFFFFFFFFu);
    CStartPracticeDlg d(device.get(), {}, {}, nullptr, devices);
    d.show();
    d.shooterCombo()->setEditText("");
    d.eventList()->setCurrentItem(nullptr);
    d.accept();
    EXPECT_EQ(messages.last(), QString("Please enter shooter name"));
    d.shooterCombo()->setEditText("Ann");
    d.accept();
    EXPECT_EQ(messages.last(), QString("Please select event"));

    selectEvent(d, "Air Rifle 10 Meters");
    d.accept();
    // COM5 has no sensor: the device's own text or the general one, and the dialog stays.
    ASSERT_EQ(messages.size(), 4); // the image sensor's, the two above, the connection's
    EXPECT_FALSE(messages.last().isEmpty());
    EXPECT_TRUE(d.isVisible());
    EXPECT_NE(d.result(), int(QDialog::Accepted));
    QString stored;
    OpenAppRegistryKey().readString("ShooterName", &stored);
    EXPECT_EQ(stored, QString("Ann"));
    OpenAppRegistryKey().readString("EventName", &stored);
    EXPECT_EQ(stored, QString("AR10"));
    int32_t port = 0;
    device->get_CommPort(&port);
    EXPECT_EQ(port, 5);
    float before = 0;
    device->get_MaxTimeBeforeShot(1, &before);
    EXPECT_EQ(before, float(theAppOptions().SaveSecBeforeShot));
    int32_t sensitivity = 0;
    device->get_PiezoSensitivity(1, &sensitivity);
    EXPECT_EQ(sensitivity, 40);
    OpenAppRegistryKey().deleteValue("PiezoSensitivity");
}

TEST_F(StartPracticeDialogTest, AStartFromTheCommandLineThatFailsStaysOpen)
{
    CStartPracticeDlg d(device.get(), "AR10", "Ann", nullptr, devices);
    ASSERT_TRUE(d.eventList()->currentItem());
    // Start presses itself unseen: the failure is told over a dialog not yet shown.
    bool visibleAtFailure = true;
    CStartPracticeDlg::setMessageHook([&](const QString& text, QMessageBox::Icon) {
        messages << text;
        visibleAtFailure = d.isVisible();
    });
    bool modalAfterFailure = false;
    QTimer::singleShot(300, [&] {
        modalAfterFailure = d.isVisible() && QApplication::activeModalWidget() == &d;
        d.reject();
    });
    EXPECT_EQ(d.run(), int(QDialog::Rejected));
    EXPECT_FALSE(visibleAtFailure);
    EXPECT_TRUE(modalAfterFailure);
    ASSERT_EQ(messages.size(), 2) << messages.join('|').toStdString();
    EXPECT_FALSE(messages.last().isEmpty());
}

TEST_F(StartPracticeDialogTest, BiathlonAndThreePositionEventsOfferPositions)
{
    CStartPracticeDlg d(device.get(), "BTLN", {}, nullptr, devices);
    ASSERT_TRUE(d.eventList()->currentItem());
    EXPECT_FALSE(d.positionCombo()->isHidden());
    EXPECT_EQ(itemTexts(d.positionCombo()), QStringList({"Prone", "Standing"}));
    EXPECT_EQ(d.positionCombo()->currentIndex(), 1);
    selectEvent(d, "Air Rifle 10 Meters");
    EXPECT_TRUE(d.positionCombo()->isHidden());
    EXPECT_EQ(d.positionCombo()->count(), 0);
}

TEST_F(StartPracticeDialogTest, TurningEveryFilterOffBringsIssfBack)
{
    CStartPracticeDlg d(device.get(), {}, {}, nullptr, devices);
    // ISSF, Military, Other, and NRA to the right of Other.
    d.show();
    QApplication::processEvents();
    EXPECT_LT(d.filterBox(0)->x(), d.filterBox(2)->x());
    EXPECT_LT(d.filterBox(2)->x(), d.filterBox(3)->x());
    EXPECT_LT(d.filterBox(3)->x(), d.filterBox(1)->x());
    EXPECT_EQ(d.filterBox(1)->text(), QString("NRA"));
    const int all = d.eventList()->count();
    ASSERT_GT(all, 0);
    for (int i : {1, 2, 3, 0})
        d.filterBox(i)->setChecked(false);
    EXPECT_TRUE(d.filterBox(0)->isChecked());
    uint32_t issf = 0, other = 1;
    OpenAppRegistryKey().readDword("EventFilterIssf", &issf);
    OpenAppRegistryKey().readDword("EventFilterOther", &other);
    EXPECT_EQ(issf, 1u);
    EXPECT_EQ(other, 0u);
    EXPECT_LT(d.eventList()->count(), all);
    for (int i = 0; i < 4; ++i)
        d.filterBox(i)->setChecked(true);
    EXPECT_EQ(d.eventList()->count(), all);

    // Stored with every box off (a hand edit, another program): the same rule holds at opening.
    const char* const names[] = {"EventFilterIssf", "EventFilterNra", "EventFilterMilitary", "EventFilterOther"};
    for (const char* name : names)
        OpenAppRegistryKey().writeDword(name, 0);
    CStartPracticeDlg reopened(device.get(), {}, {}, nullptr, devices);
    EXPECT_TRUE(reopened.filterBox(0)->isChecked());
    EXPECT_FALSE(reopened.filterBox(3)->isChecked());
    EXPECT_GT(reopened.eventList()->count(), 0);
    for (const char* name : names)
        OpenAppRegistryKey().writeDword(name, 1);
}

TEST_F(StartPracticeDialogTest, WithoutTheCatalogFolderTheShooterListSaysSoAndStaysEmpty)
{
    // No catalog extension is installed here: the shell has no catalog folder.
    CStartPracticeDlg d(device.get(), {}, "Zed", nullptr, devices);
    d.fillShooterList();
    EXPECT_EQ(messages.last(), QString("Unable to start catalog service"));
    EXPECT_EQ(d.shooterCombo()->count(), 0);
    EXPECT_EQ(d.shooterCombo()->currentText(), QString("Zed"));
}

namespace {

// The real probe of the dialog on image sensors that the fake USB backend plays.
class ImageSensorProbeTest : public kavro::testing::ImageSensorTest {
protected:
    void SetUp() override
    {
        qputenv("KAVRO_EVENTS_DIR", QByteArray(KAVRO_BIN_DIR));
        theAppOptions() = AppOptions();
        theAppOptions().EnableRS232 = false;
        CStartPracticeDlg::setMessageHook([this](const QString& text, QMessageBox::Icon) { messages << text; });
    }
    void TearDown() override { CStartPracticeDlg::setMessageHook(nullptr); }
    QStringList messages;
};

} // namespace

TEST_F(ImageSensorProbeTest, TheSensorsOwnErrorIsToldAndItsDistanceFiltersTheEvents)
{
    kavro::testing::CameraScript outdated;
    outdated.hardware = 6;
    plugCamera(outdated, "cam1");
    kavro::testing::CameraScript camera;
    const std::string path = plugCamera(camera, "cam2");
    // Events the sensor knows: 7 with a camera target, of which AR10 and AP10 are for 10 m only.
    const struct {
        int32_t distance;
        int events;
        bool tenMetres;
    } rows[] = {{0, 7, true}, {-1, 7, true}, {10000, 7, true}, {25000, 5, false}, {50000, 5, false}, {12000, 0, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.distance);
        messages.clear();
        kavro::testing::Bytes flash = kavro::testing::flashBlock();
        kavro::testing::putU32(flash, 10, static_cast<uint32_t>(row.distance));
        answer(path, 163, flash);
        CStartPracticeDlg d(nullptr, {}, {}, nullptr, nullptr);
        EXPECT_EQ(messages,
                  QStringList({"Unsupported KAVRO QV sensor version hw:6, fw:25. Please update to the "
                               "latest version of KAVRO software."}));
        EXPECT_EQ(itemTexts(d.deviceCombo()), QStringList({"Kavro QV #2"}));
        EXPECT_EQ(d.deviceCombo()->itemData(0).toInt(), 4097);
        EXPECT_TRUE(d.sensorCombo()->isHidden());
        EXPECT_EQ(d.eventList()->count(), row.events);
        EXPECT_EQ(!d.eventList()->findItems("Air Rifle 10 Meters", Qt::MatchStartsWith).isEmpty(), row.tenMetres);
    }
}

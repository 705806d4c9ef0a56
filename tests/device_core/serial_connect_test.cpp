// Connecting a serial sensor: the port is opened, the banner chooses the model, and a failed
// connect leaves the port free.
#include "support/device_fixture.h"
#include "device/usb/connect_problem.h"
#include "serial/device_file.h"
#include "serial/serial_port.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace devtest {
namespace {

constexpr int kPort = 211;

class SerialConnectTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        slavePath = QString::fromLocal8Bit(::ptsname(master));
        qputenv("KAVRO_COM211", slavePath.toLocal8Bit());
        models::registerSerialIdentifier([this](SerialPort&, DeviceIdentification& record) {
            ++identifications;
            record.clear();
            std::memcpy(record.tag, "KVR", 4);
            record.modelNumber = bannerModel;
            std::memcpy(record.serialNumber, "A12345678", 9); // fills the field: no terminator
            return true;
        });
        models::registerSerialModel(
            300, [](DeviceHost& host, std::unique_ptr<SerialPort> port) -> std::unique_ptr<CGenericKavro> {
                return std::make_unique<FakeModel>(host, std::move(port));
            });
        ASSERT_EQ(device->put_CommPort(kPort), S_OK);
    }
    void TearDown() override
    {
        DeviceTest::TearDown();
        qunsetenv("KAVRO_COM211");
        if (master >= 0)
            ::close(master);
    }

    // True when nobody holds the port.
    bool portIsFree() const
    {
        SerialPort probe;
        return SUCCEEDED(probe.open(slavePath));
    }

    QString statusText()
    {
        Variant v;
        EXPECT_EQ(device->get_Value(5, &v), S_OK);
        return v.bstr();
    }

    int master = -1;
    QString slavePath;
    int32_t bannerModel = 300;
    int identifications = 0;
};

TEST_F(SerialConnectTest, WithoutAnEventNoModelIsMadeAndThePortIsFreed)
{
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    EXPECT_EQ(identifications, 1);
    EXPECT_TRUE(portIsFree());
    EXPECT_TRUE(statusText().contains(QStringLiteral("Choose the event"))) << statusText().toStdString();
}

// Each failed connect says why and what to do; a successful one clears the text.
TEST_F(SerialConnectTest, FailedConnectsSayWhy)
{
    giveEvent();
    {
        SerialPort other; // another program holds the port
        ASSERT_EQ(other.open(slavePath), S_OK);
        EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
        EXPECT_TRUE(statusText().contains(QStringLiteral("in use by another program"))) << statusText().toStdString();
        EXPECT_TRUE(statusText().contains(slavePath));
    }
    models::registerSerialIdentifier([](SerialPort&, DeviceIdentification&) { return false; });
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    EXPECT_TRUE(statusText().startsWith(QStringLiteral("No sensor answers on the serial port COM211")))
        << statusText().toStdString();
    EXPECT_TRUE(portIsFree());

    qputenv("KAVRO_COM211", "/nonexistent/tty");
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    EXPECT_TRUE(statusText().startsWith(QStringLiteral("There is no serial port COM211")))
        << statusText().toStdString();
}

TEST(PortOpenProblems, ErrnoTellsMissingBusyAndForbiddenApart)
{
    EXPECT_EQ(portOpenProblemFromErrno(ENOENT), PortOpenProblem::Missing);
    EXPECT_EQ(portOpenProblemFromErrno(ENXIO), PortOpenProblem::Missing);
    EXPECT_EQ(portOpenProblemFromErrno(EBUSY), PortOpenProblem::InUse);
    EXPECT_EQ(portOpenProblemFromErrno(EWOULDBLOCK), PortOpenProblem::InUse);
    EXPECT_EQ(portOpenProblemFromErrno(EACCES), PortOpenProblem::NoPermission);
    EXPECT_EQ(portOpenProblemFromErrno(EPERM), PortOpenProblem::NoPermission);
    EXPECT_EQ(portOpenProblemFromErrno(EIO), PortOpenProblem::Other);
    EXPECT_NE(connectProblemText(ConnectProblem::PortNoPermission, "COM1").find("dialout"), std::string::npos);
    EXPECT_NE(connectProblemText(ConnectProblem::UsbNoPermission).find("udev"), std::string::npos);
}

TEST_F(SerialConnectTest, AnUnknownModelNumberFails)
{
    giveEvent();
    bannerModel = 305;
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
    EXPECT_TRUE(portIsFree());
    EXPECT_TRUE(statusText().contains(QStringLiteral("model 305"))) << statusText().toStdString();
    int32_t version = -1;
    device->get_ModelVersion(&version);
    EXPECT_EQ(version, 0);
}

TEST_F(SerialConnectTest, TheBannerChoosesTheModelWhichHoldsThePort)
{
    giveEvent();
    ASSERT_EQ(device->put_Connected(VARIANT_TRUE), S_OK);
    int32_t version = 0;
    device->get_ModelVersion(&version);
    EXPECT_EQ(version, 300);
    QString serial;
    device->get_SerialNumber(&serial);
    EXPECT_EQ(serial, QStringLiteral("A12345678"));
    EXPECT_FALSE(portIsFree());
    ASSERT_EQ(device->put_Connected(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(portIsFree());
}

TEST_F(SerialConnectTest, LookupAsksThePortAndLetsItGo)
{
    VARIANT_BOOL found = VARIANT_FALSE;
    ASSERT_EQ(device->LookupDevice(&found), S_OK);
    EXPECT_EQ(found, VARIANT_TRUE);
    EXPECT_TRUE(portIsFree());
    qputenv("KAVRO_COM211", "/nonexistent/tty");
    ASSERT_EQ(device->LookupDevice(&found), S_OK);
    EXPECT_EQ(found, VARIANT_FALSE);
    EXPECT_EQ(identifications, 1);
    EXPECT_EQ(device->put_Connected(VARIANT_TRUE), E_FAIL);
}

} // namespace
} // namespace devtest

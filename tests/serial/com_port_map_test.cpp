#include "pty_master.h"
#include "serial/com_port_map.h"
#include "serial/serial_port.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kavro;

namespace {

// A fake /dev and /sys: tty nodes are plain files, a UART's presence is its sysfs type.
class FakeMachine {
public:
    FakeMachine() { QDir(dir.path()).mkpath(QStringLiteral("dev")); }
    QString dev() const { return dir.path() + QStringLiteral("/dev"); }
    QString sys() const { return dir.path() + QStringLiteral("/sys"); }

    void addNode(const QString& name)
    {
        QFile f(dev() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void addUart(const QString& name, const char* type)
    {
        addNode(name);
        const QString folder = sys() + QStringLiteral("/class/tty/") + name;
        QDir().mkpath(folder);
        QFile f(folder + QStringLiteral("/type"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(type);
    }

private:
    QTemporaryDir dir;
};

class EnvGuard {
public:
    EnvGuard(const char* name, const QByteArray& value) : name_(name) { qputenv(name, value); }
    ~EnvGuard() { qunsetenv(name_); }

private:
    const char* name_;
};

} // namespace

TEST(ComPortMap, MachinePortsComeUsbThenAcmThenUartsEachByNumber)
{
    FakeMachine m;
    m.addUart(QStringLiteral("ttyS1"), "4\n");
    m.addUart(QStringLiteral("ttyS0"), "4\n");
    m.addUart(QStringLiteral("ttyS2"), "0\n"); // no UART behind it
    m.addNode(QStringLiteral("ttyS3")); // no sysfs entry at all
    m.addNode(QStringLiteral("ttyACM0"));
    m.addNode(QStringLiteral("ttyUSB10"));
    m.addNode(QStringLiteral("ttyUSB2"));
    m.addNode(QStringLiteral("tty0"));
    m.addNode(QStringLiteral("ttyUSBx"));
    m.addNode(QStringLiteral("console"));

    const ComPortMap map(m.dev(), m.sys());
    const QString d = m.dev() + QLatin1Char('/');
    EXPECT_EQ(map.machinePorts(),
              QStringList({d + "ttyUSB2", d + "ttyUSB10", d + "ttyACM0", d + "ttyS0", d + "ttyS1"}));
    EXPECT_EQ(map.devicePath(1), d + "ttyUSB2");
    EXPECT_EQ(map.devicePath(5), d + "ttyS1");
    EXPECT_EQ(map.devicePath(6), QString());
    EXPECT_EQ(map.devicePath(0), QString());
    EXPECT_EQ(map.devicePath(-1), QString());
}

TEST(ComPortMap, TableWinsOverMachinePortsAndEnvironmentWinsOverBoth)
{
    FakeMachine m;
    m.addNode(QStringLiteral("ttyUSB0"));
    m.addNode(QStringLiteral("ttyUSB1"));
    ComPortMap map(m.dev(), m.sys());

    map.setTable(std::map<int, QString>{{2, QStringLiteral("/dev/sensor")}});
    EXPECT_EQ(map.devicePath(1), m.dev() + "/ttyUSB0"); // not in the table: the machine's first
    EXPECT_EQ(map.devicePath(2), QStringLiteral("/dev/sensor"));

    int asked = 0;
    map.setTable([&](int n) {
        ++asked;
        return n == 7 ? QStringLiteral("/dev/seven") : QString();
    });
    EXPECT_EQ(map.devicePath(7), QStringLiteral("/dev/seven"));
    EXPECT_EQ(map.devicePath(2), m.dev() + "/ttyUSB1");
    EXPECT_EQ(asked, 2);

    {
        const EnvGuard env("KAVRO_COM7", "/dev/pts/77");
        EXPECT_EQ(map.devicePath(7), QStringLiteral("/dev/pts/77"));
        EXPECT_EQ(map.devicePath(2), m.dev() + "/ttyUSB1"); // only that number is overridden
    }
    {
        const EnvGuard empty("KAVRO_COM7", "");
        EXPECT_EQ(map.devicePath(7), QStringLiteral("/dev/seven"));
    }
    map.setTable(ComPortMap::Table());
    EXPECT_EQ(map.devicePath(7), QString());
}

TEST(ComPortMap, OpenComFindsAPseudoTerminalThroughTheEnvironment)
{
    test::PtyMaster master;
    ASSERT_TRUE(master.isOpen());
    const EnvGuard env("KAVRO_COM200", master.slavePath().toLocal8Bit());
    ComPortMap::shared().setTable(std::map<int, QString>{{200, QStringLiteral("/nonexistent/tty")}});

    SerialPort port;
    ASSERT_EQ(port.openCom(200), S_OK);
    EXPECT_EQ(port.devicePath(), master.slavePath());
    EXPECT_TRUE(port.isPseudoTerminal());
    uint32_t written = 0;
    ASSERT_EQ(port.write("ok", 2, &written), S_OK);
    EXPECT_EQ(master.read(2, 1000), QByteArray("ok"));
    port.close();

    qunsetenv("KAVRO_COM200");
    EXPECT_EQ(port.openCom(200), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ComPortMap::shared().setTable(ComPortMap::Table());
}

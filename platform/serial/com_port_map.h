#pragma once
// "COM n" -> device path. In order:
// 1. the environment variable KAVRO_COM<n> (e.g. KAVRO_COM1=/dev/pts/7), so a test or a sensor
//    simulator can stand in for a port for one run without touching the user's settings;
// 2. the table set with setTable (the device module feeds it from the settings);
// 3. the nth of the machine's serial ports (COM1 is the first): USB adapters (ttyUSB) first,
//    then USB modems (ttyACM), then on-board ports (ttyS), each family by number. Sensors are
//    attached through USB adapters on today's machines, so they get the low numbers; ttyS nodes
//    exist for every possible UART, so only those the kernel found a UART behind are counted.
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <mutex>

namespace kavro {

class ComPortMap {
public:
    // Returns the device path for a COM number, or an empty string when it has none.
    using Table = std::function<QString(int comNumber)>;

    // deviceDir holds the tty nodes, sysDir is the sysfs root; tests point them at fakes.
    explicit ComPortMap(QString deviceDir = QStringLiteral("/dev"), QString sysDir = QStringLiteral("/sys"));

    // The map every SerialPort::openCom uses.
    static ComPortMap& shared();

    void setTable(Table table);
    void setTable(std::map<int, QString> table);

    // Empty when the number has no port (numbers below 1 never have one).
    QString devicePath(int comNumber) const;

    // The machine's serial ports in COM order.
    QStringList machinePorts() const;

private:
    bool uartPresent(const QString& name) const;

    QString deviceDir_;
    QString sysDir_;
    mutable std::mutex mutex_;
    Table table_;
};

} // namespace kavro

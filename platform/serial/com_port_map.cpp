#include "serial/com_port_map.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace kavro {

ComPortMap::ComPortMap(QString deviceDir, QString sysDir) : deviceDir_(std::move(deviceDir)), sysDir_(std::move(sysDir))
{
}

ComPortMap& ComPortMap::shared()
{
    static ComPortMap map;
    return map;
}

void ComPortMap::setTable(Table table)
{
    std::lock_guard lock(mutex_);
    table_ = std::move(table);
}

void ComPortMap::setTable(std::map<int, QString> table)
{
    setTable([table = std::move(table)](int comNumber) {
        const auto it = table.find(comNumber);
        return it == table.end() ? QString() : it->second;
    });
}

QString ComPortMap::devicePath(int comNumber) const
{
    if (comNumber < 1)
        return QString();
    const QByteArray name = "KAVRO_COM" + QByteArray::number(comNumber);
    const QString overridden = qEnvironmentVariable(name.constData());
    if (!overridden.isEmpty())
        return overridden;
    Table table;
    {
        std::lock_guard lock(mutex_);
        table = table_;
    }
    if (table) {
        const QString path = table(comNumber);
        if (!path.isEmpty())
            return path;
    }
    const QStringList ports = machinePorts();
    return comNumber <= ports.size() ? ports.at(comNumber - 1) : QString();
}

QStringList ComPortMap::machinePorts() const
{
    static const QRegularExpression pattern(QStringLiteral("^tty(USB|ACM|S)([0-9]+)$"));
    static const QStringList familyOrder{QStringLiteral("USB"), QStringLiteral("ACM"), QStringLiteral("S")};
    struct Port {
        qsizetype family;
        qulonglong number;
        QString name;
    };
    std::vector<Port> ports;
    const QStringList names = QDir(deviceDir_).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const QString family = m.captured(1);
        if (family == QLatin1String("S") && !uartPresent(name))
            continue;
        bool ok = false;
        const qulonglong number = m.captured(2).toULongLong(&ok);
        if (ok)
            ports.push_back({familyOrder.indexOf(family), number, name});
    }
    std::sort(ports.begin(), ports.end(), [](const Port& a, const Port& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });
    QStringList paths;
    for (const Port& p : ports)
        paths << deviceDir_ + QLatin1Char('/') + p.name;
    return paths;
}

bool ComPortMap::uartPresent(const QString& name) const
{
    // The 8250 driver reports the UART type it found; 0 means no UART behind the node.
    QFile type(sysDir_ + QStringLiteral("/class/tty/") + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const int value = type.readAll().trimmed().toInt(&ok);
    return ok && value != 0;
}

} // namespace kavro

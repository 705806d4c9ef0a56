#include "window_rect.h"

#include "app_registry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtEndian>

namespace kavro::trainer {

QByteArray encodeWindowRect(const QRect& r)
{
    QByteArray out(16, '\0');
    const qint32 v[4] = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(v[i], out.data() + 4 * i);
    return out;
}

std::optional<QRect> decodeWindowRect(const QByteArray& bytes)
{
    // Beyond any screen: a larger stored coordinate is damage, not a choice.
    constexpr qint64 kMaxCoordinate = 1 << 20;
    if (bytes.size() != 16)
        return std::nullopt;
    qint64 v[4];
    for (int i = 0; i < 4; ++i) {
        v[i] = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
        if (v[i] < -kMaxCoordinate || v[i] > kMaxCoordinate)
            return std::nullopt;
    }
    if (v[2] <= v[0] || v[3] <= v[1] || v[2] - v[0] > 100000 || v[3] - v[1] > 100000)
        return std::nullopt;
    return QRect(int(v[0]), int(v[1]), int(v[2] - v[0]), int(v[3] - v[1]));
}

bool RestoreWindowRect(QWidget* window, const QString& valueName)
{
    const SettingsKey root = OpenAppRegistryKey();
    QByteArray bytes;
    if (!window || !root.isValid() || FAILED(root.readBinary(valueName, &bytes)))
        return false;
    const auto rect = decodeWindowRect(bytes);
    if (!rect)
        return false;
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(*rect);
    if (!onScreen)
        return false;
    window->setGeometry(*rect);
    return true;
}

bool SaveWindowRect(QWidget* window, const QString& valueName)
{
    const SettingsKey root = OpenAppRegistryKey();
    if (!window || !root.isValid())
        return false;
    const QRect r = window->isMaximized() || window->isFullScreen() ? window->normalGeometry() : window->geometry();
    return SUCCEEDED(root.writeBinary(valueName, encodeWindowRect(r)));
}

} // namespace kavro::trainer

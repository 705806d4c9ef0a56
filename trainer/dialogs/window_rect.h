#pragma once
// A window's placement kept under the settings root as 16 bytes: left, top, right and bottom as
// little-endian int32 (the layout of a RECT). Dialogs use "WindowRect" plus their own name.
#include <QByteArray>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

namespace kavro::trainer {

QByteArray encodeWindowRect(const QRect& r);
// Null unless exactly 16 bytes of a non-empty rectangle.
std::optional<QRect> decodeWindowRect(const QByteArray& bytes);

// Moves and sizes the window to the stored placement; false when none is stored, or when it
// lies on no screen of this machine (the window then stays where it is, visible).
bool RestoreWindowRect(QWidget* window, const QString& valueName);
bool SaveWindowRect(QWidget* window, const QString& valueName);

} // namespace kavro::trainer

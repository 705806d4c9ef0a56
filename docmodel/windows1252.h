#pragma once
// The Windows-1252 code page, which the older raw format's text is written in.
#include <QByteArray>
#include <QString>

namespace kavrodoc {

QString fromWindows1252(const QByteArray& bytes);

} // namespace kavrodoc

#pragma once
// Numbers typed into dialog fields. Only plain decimal numbers are taken, written with the C
// locale's point or the user's decimal separator: no hexadecimal, no inf or nan, no group
// separators, nothing but blanks and tabs around the number.
#include <QLocale>
#include <QString>

#include <optional>

namespace kavro::trainer {

std::optional<double> parseDecimal(const QString& text, const QLocale& userLocale = QLocale());
// A signed decimal integer that fits 32 bits.
std::optional<int> parseInteger(const QString& text);

// "%.*g" in the C locale: `digits` significant digits, the shortest form.
QString formatSignificant(double value, int digits = 6);

} // namespace kavro::trainer

#pragma once
// The 96-bit scaled decimal of a VT_DECIMAL value, kept as its canonical text: an optional "-",
// the integer digits without leading zeros, and the fraction digits (at most 28, the type's
// largest scale) without trailing zeros. Two decimals are equal exactly when their texts are.
#include "hresult.h"

#include <QString>

namespace kavro {

// Reads C-locale number text (sign, digits, point, exponent). More fraction digits than the type
// holds are rounded half to even; a magnitude beyond 2^96 - 1 gives DISP_E_OVERFLOW, text that
// is no number DISP_E_TYPEMISMATCH.
HRESULT decimalFromText(const QString& text, QString* canonical);

} // namespace kavro

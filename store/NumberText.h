#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavik::store {

// A number as the user reads it: the user's decimal separator, at most 15 significant digits,
// no grouping, no trailing zeros, "0" for zero (also for -0). Very large or small magnitudes use
// an exponent as "1E+16" / "1,5E-07". NaN and infinities give the empty text.
QString numberToText(double value, const QLocale& numberFormat);

// The lenient reading (nights, quantities): the leading number of the text. Blanks, tabs and
// line feeds are skipped wherever they stand, a point is the decimal separator, an optional
// sign and exponent (E or D) are taken, reading stops at the first other character. A text
// without a number, or one too large for a double, reads as 0. It never fails.
double readLenient(const QString& text);

// The strict reading (VAT rates): the whole text, blanks around it aside, must be a decimal
// number in the user's number format: optional sign, digits, the user's decimal separator,
// optional exponent. No grouping separators: "7.00" on a German system is not seven hundred.
std::optional<double> readStrict(const QString& text, const QLocale& numberFormat);

} // namespace tavik::store

#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavik::store {

// A number as the user reads it: the user's decimal separator, at most 15 significant digits,
// no grouping, no trailing zeros, "0" for zero (also for -0), a leading "-" for negative numbers.
// Magnitudes that round to 1E+15 or more, or lie below 1E-04, use an exponent with a sign and at
// least two digits: "1E+15", "1,5E-07". NaN and infinities give the empty text. The C library's
// locale has no influence.
QString numberToText(double value, const QLocale& numberFormat);

// The text numberToText gives, as ASCII bytes in out (room for 24), for zero and for the values
// of whole cents below 10^15 that totals nearly always are; its length, or -1 for any other value.
// decimalPoint is the number format's, as asciiDecimalPoint gives it.
int plainNumberText(double value, char decimalPoint, char* out);
// The number format's decimal point where it is one ASCII character, else 0 (and plainNumberText
// must not be used).
char asciiDecimalPoint(const QLocale& numberFormat);

// A whole number as QString::number writes it ("-12"), without its locale machinery: line
// numbers and keys are written for every charge line.
QString wholeNumberToText(qint64 value);

// The lenient reading (nights, quantities): the leading number of the text. Blanks, tabs, carriage
// returns and line feeds are skipped wherever they stand (" 1 2" reads 12), a point is the decimal
// separator, an optional sign and exponent (E or D, either case, with optional sign) are taken,
// reading stops at the first other character ("2,5" reads 2). A text without a number, or one
// beyond the double range, reads as 0. It never fails and ignores every locale.
double readLenient(const QString& text);

// The strict reading (VAT rates): the whole text, blanks around it aside, must be a decimal
// number in the user's number format: optional sign, digits, the user's decimal separator,
// optional exponent (E or e, optional sign, digits). Either side of the separator may be empty,
// not both. No grouping separators: "7.00" on a German system is not seven hundred. Besides '-'
// and '+' the locale's own signs are accepted. Nothing is returned for a text of another shape
// or a value beyond the double range; a value too small for a double reads as 0.
std::optional<double> readStrict(const QString& text, const QLocale& numberFormat);

// The readings and the writing above without their shortcuts for plain decimals and whole cents:
// what the shortcuts are checked against.
QString numberToTextFully(double value, const QLocale& numberFormat);
double readLenientFully(const QString& text);
std::optional<double> readStrictFully(const QString& text, const QLocale& numberFormat);

// The same number format without the system's lookups: the system locale asks the operating
// system anew for every symbol, which costs more than reading a number. A named locale whose
// numeric symbols all equal the system's reads and writes every number alike and is returned in
// its place; otherwise (a user's own separators, say) the format is returned as it is.
QLocale withoutSystemLookups(const QLocale& numberFormat);

} // namespace tavik::store

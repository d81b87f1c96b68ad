#pragma once

#include <QLocale>
#include <QVariant>

#include <optional>

namespace tavik::import {

// An amount as a charge line holds it. Text is read in the user's number format; users also typed
// amounts with the other of point and comma as the only separator ("89.00" on a German system),
// and such a text means the same amount, never a hundred times more. A whole or float number is
// taken as it is. Nothing for no value or a text of any other shape (grouping included).
std::optional<double> readAmount(const QVariant& value, const QLocale& numberFormat);

// Rounded to a whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4), whatever the
// floating-point environment says. Nothing when the result does not fit in 16 bits.
std::optional<qint16> toInt16HalfEven(double value);

} // namespace tavik::import

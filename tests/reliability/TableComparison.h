#pragma once

#include <QString>

namespace tavik::reliability {

// Compares two data files table by table and row by row. Empty when both hold the same tables with
// the same definitions and the same rows; otherwise the first difference found, in words.
QString firstDifference(const QString& actual, const QString& expected);

} // namespace tavik::reliability

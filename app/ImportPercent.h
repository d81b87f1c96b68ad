#pragma once

#include "import/ImportNumbers.h"

#include <limits>

namespace tavik::app {

// How far the import has come in whole percent, as the window's bar and the terminal's line show
// it: halves go to the even neighbour, and nothing bounds it by 100, so a record count below the
// reservations walked shows as more. Without a total, or beyond 16 bits, qint16's largest.
inline qint16 importPercent(qint64 done, qint32 total)
{
    if (total <= 0)
        return std::numeric_limits<qint16>::max();
    const double percent = static_cast<double>(done) / total * 100.0;
    return import::toInt16HalfEven(percent).value_or(std::numeric_limits<qint16>::max());
}

} // namespace tavik::app

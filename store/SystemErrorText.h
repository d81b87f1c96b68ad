#pragma once

#include <QString>

namespace tavik::store {

// The system's error number as a German user reads it; the system's own text is English.
QString germanSystemError(int errorNumber);

} // namespace tavik::store

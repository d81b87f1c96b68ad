#pragma once

#include <QString>

namespace tavik::store {

// A write that a crash cut off leaves a hot journal beside the file; SQLite rolls it back the
// first time the file is read. This does that read, so the file is consistent and the journal
// gone before the file is copied. A journal that another process still holds is left alone, and
// nothing is reported: true only when the file now has no journal beside it.
bool recoverInterruptedWrite(const QString& path);

} // namespace tavik::store

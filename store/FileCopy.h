#pragma once

#include <QString>

namespace tavik::store {

// Copies a whole data file. The copy is written to a temporary file created exclusively in the
// destination's folder and renamed over the destination, so a failed copy (missing source or
// folder, full disk, a file in use) leaves the destination exactly as it was and no temporary
// file behind; one that a copy cut off by a crash left there is removed by the next copy to the same
// destination. A data file counts as in use when another process holds SQLite's lock on it or a
// rollback journal or write-ahead log lies beside it. The source is only ever opened for reading.
// With alwaysOverwrite false an existing destination makes the copy fail.
// Returns true when the copy was made, false otherwise; it never throws.
bool fileCopy(const QString& sourceFile, const QString& destFile, bool alwaysOverwrite = false);

} // namespace tavik::store

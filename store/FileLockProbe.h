#pragma once

#include <QString>

namespace tavik::store {

// Whether another process holds any of SQLite's locks on a data file (the pending byte, the
// reserved byte or the shared range). A file that cannot be opened for reading counts as held,
// since nothing can be said about it then.
// The probe opens and closes a descriptor of the file, and on POSIX closing any descriptor drops
// every lock this process holds on that file: never probe a file this process has a connection on.
bool sqliteLockHeldElsewhere(const QString& dataFile);

} // namespace tavik::store

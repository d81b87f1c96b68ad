#pragma once

#include <QFileDevice>
#include <QString>

namespace tavik::store {

// A file's mode as it stands on the disk. QFileInfo's *User flags say what this process may do
// (everything, for root), so they are left out; setting them back would widen the mode.
QFileDevice::Permissions fileModeOf(const QString& path);
// Forces a file's content to the disk, so a rename that follows cannot expose an empty file
// after a power loss.
bool syncFile(const QString& path);
// Forces a folder's entries (a rename just made) to the disk; a no-op where folders cannot be synced.
bool syncFolder(const QString& folder);
// Atomically puts `from` in place of `to`, replacing it: afterwards the old or the new file is
// there, never neither and never half of one.
bool replaceFile(const QString& from, const QString& to);

// Writes the bytes to a new file beside `path`, readable by its owner only, forces it to the disk
// and renames it over `path`. False when any byte could not be written: the old file then stays as
// it was and nothing is left beside it. (QSaveFile reports success over a short write on a full disk.)
bool writeOwnerOnlyFile(const QString& path, const QByteArray& bytes);

} // namespace tavik::store

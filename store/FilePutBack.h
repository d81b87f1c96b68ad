#pragma once

#include <QString>

namespace tavik::store {

// Whether two files hold the same bytes; false when either cannot be read.
bool sameContent(const QString& first, const QString& second);

// Gives a file a second name that does not exist yet, so it stays when its first name is replaced:
// a hard link, or a copy where the file system has none. False when the name exists or nothing
// could be made; the file is then as it was.
bool keepUnderSecondName(const QString& file, const QString& secondName);

// Moves a file to a name that does not exist yet; false when it exists or the move failed.
bool moveToFreeName(const QString& file, const QString& newName);

// Puts a copy of `from` in place of `target`: written beside the target and synced, compared
// byte for byte with `from`, and only then renamed over the target, so that at every moment the
// target is either the old file or a complete copy. False when anything failed; the target is
// then as it was and nothing is left beside it.
bool putVerifiedCopyInPlace(const QString& from, const QString& target);

// A name beside `path` that does not exist yet: `stem` + `suffix`, else with "-2", "-3", ...
// before the suffix.
QString freeName(const QString& stem, const QString& suffix);

} // namespace tavik::store

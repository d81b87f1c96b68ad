#pragma once

#include <QString>

namespace tavik::store {

// Why a run could not put a new data file in place of this one and then write to it (the copy is
// renamed over it, SQLite creates its journal beside it); empty when it can. A missing folder is
// left to the copy, which reports it. Nothing is changed to find out but a probe file made and
// removed in the folder. The text is German and names the path.
QString whyNotReplaceable(const QString& dataFile);

// Why SQLite could not open a data file at this path, since it is too long; empty when it can.
QString whyPathTooLongToOpen(const QString& dataFile);

// Why no new file can be made in this existing folder; empty when one can. German, names the folder.
QString whyFolderNotWritable(const QString& folder);

} // namespace tavik::store

#pragma once

#include <QString>
#include <QtGlobal>

namespace tavik::store {

#ifndef Q_OS_WIN
// A file of this process alone in the folder, without a name (or one removed at once where the
// system makes no unnamed files); -1 with errno saying why.
int openScratchDescriptor(const QString& folder);
#endif

} // namespace tavik::store

#include "store/FileCopy.h"

#include <QFile>

namespace tavik::store {

bool fileCopy(const QString& sourceFile, const QString& destFile, bool alwaysOverwrite)
{
    if (QFile::exists(destFile)) {
        if (!alwaysOverwrite)
            return false;
        QFile::remove(destFile);
    }
    return QFile::copy(sourceFile, destFile);
}

} // namespace tavik::store

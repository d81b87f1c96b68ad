#include "folders/SharedFolder.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>

#include <shlobj.h>
#else
#include <QStandardPaths>
#endif

namespace tavik::folders {

namespace {

#ifdef Q_OS_WIN
QString platformSharedDocumentsFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return QString::fromWCharArray(path);
}
#else
QString platformSharedDocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation);
}
#endif

} // namespace

QString normalizedFolder(const QString& platformFolder)
{
    // cleanPath drops trailing separators but keeps a root's own ("C:\" alone would mean the
    // current folder of drive C).
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(platformFolder)));
}

QString sharedDocumentsFolder()
{
    return normalizedFolder(platformSharedDocumentsFolder());
}

} // namespace tavik::folders

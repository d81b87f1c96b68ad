#include "store/TargetAccess.h"

#include "store/ScratchFile.h"
#include "store/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavik::store {

namespace {

const QByteArray journalSuffix = QByteArrayLiteral("-journal");
// SQLite's limit for the full path of a file it opens (unix VFS), which its journal must meet too.
constexpr qsizetype longestDataPath = 512 - 8;

QString nameTooLong(const QString& dataFile)
{
    return QStringLiteral("Der Name der Datei \"%1\" ist zu lang: die Hilfsdatei, die beim Schreiben daneben "
                          "angelegt wird (Name mit \"-journal\"), hätte keinen gültigen Namen.")
        .arg(dataFile);
}

#ifdef Q_OS_WIN
qsizetype longestNameIn(const QString&)
{
    return 255;
}
#else
qsizetype longestNameIn(const QString& folder)
{
    const long longest = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return longest > 0 ? qsizetype(longest) : 255;
}
#endif

QString whyFileNotWritable(const QFileInfo& file)
{
    if (!file.isFile())
        return QStringLiteral("\"%1\" ist keine Datei.").arg(file.filePath());
#ifdef Q_OS_WIN
    const bool writable = file.isWritable();
    const int cause = EACCES;
#else
    const bool writable = ::access(QFile::encodeName(file.filePath()).constData(), R_OK | W_OK) == 0;
    const int cause = errno;
#endif
    if (writable)
        return {};
    return QStringLiteral("Die Datei \"%1\" darf nicht geändert werden: %2.").arg(file.filePath(), germanSystemError(cause));
}

} // namespace

#ifdef Q_OS_WIN
QString whyFolderNotWritable(const QString& folder)
{
    return QFileInfo(folder).isWritable() ? QString()
                                          : QStringLiteral("In den Ordner \"%1\" darf nicht geschrieben werden.").arg(folder);
}
#else
// access() answers for this user, and says EROFS on a read-only mount even to root; a probe file
// then catches what it cannot see (full inode table, a share that refuses new files).
QString whyFolderNotWritable(const QString& folder)
{
    const QByteArray encoded = QFile::encodeName(folder);
    int cause = 0;
    if (::access(encoded.constData(), W_OK | X_OK) != 0)
        cause = errno;
    else if (const int probe = openScratchDescriptor(folder); probe < 0)
        cause = errno;
    else
        ::close(probe);
    if (cause == 0)
        return {};
    return QStringLiteral("In den Ordner \"%1\" kann nicht geschrieben werden: %2.").arg(folder, germanSystemError(cause));
}
#endif

QString whyPathTooLongToOpen(const QString& dataFile)
{
    if (QFile::encodeName(QFileInfo(dataFile).absoluteFilePath()).size() <= longestDataPath)
        return {};
    return QStringLiteral(
        "Der Pfad \"%1\" ist länger als %2 Bytes; eine Datendatei unter diesem Pfad kann nicht geöffnet werden.")
        .arg(dataFile)
        .arg(longestDataPath);
}

QString whyNotReplaceable(const QString& dataFile)
{
    const QFileInfo file(dataFile);
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir())
        return {};
    if (QFile::encodeName(file.fileName()).size() + journalSuffix.size() > longestNameIn(folder))
        return nameTooLong(dataFile);
    if (QString tooLong = whyPathTooLongToOpen(dataFile); !tooLong.isEmpty())
        return tooLong;
    // The copy would replace the link, and the file it points to would stay as it was.
    if (file.isSymLink())
        return QStringLiteral("\"%1\" ist eine Verknüpfung auf \"%2\"; bitte tragen Sie in den Einstellungen den Pfad "
                              "der Datei selbst ein.").arg(dataFile, file.symLinkTarget());
    if (QString problem = whyFolderNotWritable(folder); !problem.isEmpty())
        return problem;
    if (file.exists())
        return whyFileNotWritable(file);
    return {};
}

} // namespace tavik::store

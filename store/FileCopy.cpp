#include "store/FileCopy.h"

#include "store/FileLockProbe.h"
#include "store/FileReplace.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavik::store {

namespace {

constexpr qint64 chunkSize = 1024 * 1024;
// The longest file name the file systems a data file lies on accept, in bytes.
constexpr qsizetype longestFileName = 255;
// What marks a file as this program's unfinished copy; nobody names a file like that by hand, so
// an abandoned one may be removed without asking.
const QString temporaryMark = QStringLiteral(".tavik-copy-");
const QString temporaryPlaceholder = QStringLiteral("XXXXXX");

// Every step answers why the copy must stop there; the empty text means it may go on.
using Problem = QString;

Problem whyInUse(const QString& dataFile)
{
    // A journal or log beside a file is a transaction still open or cut off by a crash: SQLite
    // would play it back into whatever file it next finds under that name.
    for (const QString& suffix : { QStringLiteral("-journal"), QStringLiteral("-wal") }) {
        if (QFileInfo::exists(dataFile + suffix))
            return QStringLiteral("'%1' is in use: %2 lies beside it").arg(dataFile, suffix);
    }
    if (QFileInfo::exists(dataFile) && sqliteLockHeldElsewhere(dataFile))
        return QStringLiteral("'%1' is in use: another process holds its lock").arg(dataFile);
    return {};
}

Problem whyNotCopyable(const QFileInfo& source, const QFileInfo& dest, bool alwaysOverwrite)
{
    if (!source.isFile())
        return QStringLiteral("source is missing or not a regular file");
    if (!dest.absoluteDir().exists())
        return QStringLiteral("destination folder is missing");
    if (dest.exists() && !dest.isFile())
        return QStringLiteral("destination is not a regular file");
    if (dest.exists() && !alwaysOverwrite)
        return QStringLiteral("destination exists");
    if (dest.exists() && source.canonicalFilePath() == dest.canonicalFilePath())
        return QStringLiteral("source and destination are the same file");
    if (Problem problem = whyInUse(source.absoluteFilePath()); !problem.isEmpty())
        return problem;
    return whyInUse(dest.absoluteFilePath());
}

// The temporary file's name: the destination's, shortened where the mark would make it longer than
// a file name may be, so that a destination whose own name still fits can be copied to.
QString temporaryNamePrefix(const QFileInfo& dest)
{
    const qsizetype room = longestFileName - QFile::encodeName(temporaryMark + temporaryPlaceholder).size();
    QString name = dest.fileName();
    while (QFile::encodeName(name).size() > room || (!name.isEmpty() && name.back().isHighSurrogate()))
        name.chop(1);
    return name + temporaryMark;
}

bool isAbandonedCopyName(const QString& name, const QString& prefix)
{
    if (name.size() != prefix.size() + temporaryPlaceholder.size() || !name.startsWith(prefix))
        return false;
    const auto isRandomCharacter = [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; };
    return std::all_of(name.cbegin() + prefix.size(), name.cend(), isRandomCharacter);
}

#ifdef Q_OS_WIN
bool heldByRunningCopy(const QString&)
{
    // Windows refuses to remove a file that another process holds open without sharing its
    // removal, as Qt's temporary files are held; the attempt answers the question.
    return false;
}
#else
// A running copy keeps a lock on its temporary file (takeOwnLock), which ends with its process.
bool heldByRunningCopy(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return true;
    struct stat status { };
    const bool held = ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
    return held;
}
#endif

// A copy cut off by a crash leaves its temporary file behind wherever the file system gives it a
// name from the start (on Windows, or where Linux cannot create it unnamed); the next copy to the
// same destination removes it, since nothing else would.
void removeAbandonedCopies(const QFileInfo& dest)
{
    const QString prefix = temporaryNamePrefix(dest);
    const QDir folder = dest.absoluteDir();
    const QStringList candidates
        = folder.entryList({ prefix + QLatin1Char('*') }, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : candidates) {
        if (isAbandonedCopyName(name, prefix) && !heldByRunningCopy(folder.filePath(name)))
            QFile::remove(folder.filePath(name));
    }
}

void takeOwnLock(QFileDevice& temporary)
{
#ifdef Q_OS_WIN
    Q_UNUSED(temporary);
#else
    // Shows removeAbandonedCopies() of another run that this copy is alive; ends with the process.
    ::flock(temporary.handle(), LOCK_EX | LOCK_NB);
#endif
}

QString lastSystemError(const QFileDevice& file)
{
    // A short write leaves Qt without an error of its own; errno then tells the cause.
    return file.error() == QFileDevice::NoError ? qt_error_string(errno) : file.errorString();
}

Problem copyContents(QFile& input, QFileDevice& output)
{
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const qint64 got = input.read(chunk.data(), chunk.size());
        if (got < 0)
            return QStringLiteral("cannot read source: ") + input.errorString();
        if (got == 0)
            break;
        errno = 0;
        if (output.write(chunk.constData(), got) != got)
            return QStringLiteral("cannot write temporary file: ") + lastSystemError(output);
        copied += got;
    }
    // A file that grew or shrank while it was read gives no consistent copy.
    if (copied != input.size())
        return QStringLiteral("source changed size while it was copied");
    return {};
}

Problem syncToDisk(QFileDevice& file)
{
    if (!file.flush())
        return QStringLiteral("cannot write temporary file: ") + file.errorString();
#ifdef Q_OS_WIN
    const bool synced = _commit(file.handle()) == 0;
#else
    const bool synced = ::fsync(file.handle()) == 0;
#endif
    if (!synced)
        return QStringLiteral("cannot flush temporary file to disk: ") + qt_error_string();
    return {};
}

#ifdef Q_OS_WIN
bool moveIntoPlace(const QString& from, const QString& to, bool replace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
               reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()), flags)
        != 0;
}
#else
bool moveWithoutReplacing(const char* from, const char* to)
{
    // link() refuses an existing name in one step, where a check before rename() could lose a race;
    // only file systems without hard links (FAT) are left with that check.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno == EEXIST || ::access(to, F_OK) == 0)
        return false;
    return ::rename(from, to) == 0;
}

bool moveIntoPlace(const QString& from, const QString& to, bool replace)
{
    const bool moved = replace ? replaceFile(from, to)
                               : moveWithoutReplacing(QFile::encodeName(from).constData(), QFile::encodeName(to).constData());
    // The renamed entry only outlasts a power cut once the folder itself is on disk.
    if (moved)
        syncFolder(QFileInfo(to).absolutePath());
    return moved;
}
#endif

// The copy goes to a file of its own beside the destination, so a failure at any point leaves the
// destination as it was; the temporary file removes itself on every way out but success.
Problem copyThroughTemporary(const QFileInfo& source, const QFileInfo& dest, bool replace)
{
    QFile input(source.absoluteFilePath());
    if (!input.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open source: ") + input.errorString();
    removeAbandonedCopies(dest);
    QTemporaryFile temporary(dest.absoluteDir().filePath(temporaryNamePrefix(dest) + temporaryPlaceholder));
    if (!temporary.open())
        return QStringLiteral("cannot create temporary file: ") + temporary.errorString();
    takeOwnLock(temporary);
    if (Problem problem = copyContents(input, temporary); !problem.isEmpty())
        return problem;
    if (!temporary.setPermissions(fileModeOf((dest.exists() ? dest : source).absoluteFilePath())))
        return QStringLiteral("cannot set permissions: ") + temporary.errorString();
    if (Problem problem = syncToDisk(temporary); !problem.isEmpty())
        return problem;
    temporary.close();
    if (!moveIntoPlace(temporary.fileName(), dest.absoluteFilePath(), replace))
        return QStringLiteral("cannot move the copy into place: ") + qt_error_string();
    temporary.setAutoRemove(false);
    return {};
}

} // namespace

bool fileCopy(const QString& sourceFile, const QString& destFile, bool alwaysOverwrite)
{
    try {
        const QFileInfo source(sourceFile);
        const QFileInfo dest(destFile);
        Problem problem = whyNotCopyable(source, dest, alwaysOverwrite);
        if (problem.isEmpty())
            problem = copyThroughTemporary(source, dest, alwaysOverwrite);
        if (problem.isEmpty())
            return true;
        qWarning().noquote()
            << QStringLiteral("No copy of '%1' to '%2': %3").arg(sourceFile, destFile, problem);
        return false;
    } catch (...) {
        // Only running out of memory gets here; the temporary file has removed itself already.
        return false;
    }
}

} // namespace tavik::store

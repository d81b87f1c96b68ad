#include "store/FileCopy.h"

#include "store/FileLockProbe.h"
#include "store/FileReplace.h"
#include "store/SystemErrorText.h"

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

// Every step answers why the copy must stop there; a result without a problem means it may go on.
using Step = CopyResult;

bool stops(const Step& step)
{
    return step.problem() != CopyProblem::None;
}

Step whyInUse(const QString& dataFile)
{
    // A journal or log beside a file is a transaction still open or cut off by a crash: SQLite
    // would play it back into whatever file it next finds under that name.
    for (const QString& suffix : { QStringLiteral("-journal"), QStringLiteral("-wal") }) {
        if (QFileInfo::exists(dataFile + suffix))
            return { CopyProblem::UnfinishedChangeBeside, dataFile + suffix };
    }
    if (!QFileInfo::exists(dataFile))
        return {};
        // The lock probe counts a file it cannot open as held; a missing right is the truer cause.
#ifndef Q_OS_WIN
    if (::access(QFile::encodeName(dataFile).constData(), R_OK) != 0)
        return { CopyProblem::CannotReadSource, dataFile, errno };
#endif
    if (sqliteLockHeldElsewhere(dataFile))
        return { CopyProblem::LockedElsewhere, dataFile };
    return {};
}

Step whyNotCopyable(const QFileInfo& source, const QFileInfo& dest, bool alwaysOverwrite)
{
    const QString from = source.absoluteFilePath();
    const QString to = dest.absoluteFilePath();
    if (!source.exists())
        return { CopyProblem::SourceMissing, from, ENOENT };
    if (!source.isFile())
        return { CopyProblem::SourceNotAFile, from };
    if (!dest.absoluteDir().exists())
        return { CopyProblem::DestinationFolderMissing, dest.absolutePath(), ENOENT };
    if (dest.exists() && !dest.isFile())
        return { CopyProblem::DestinationNotAFile, to };
    if (dest.exists() && !alwaysOverwrite)
        return { CopyProblem::DestinationExists, to, EEXIST };
    if (dest.exists() && source.canonicalFilePath() == dest.canonicalFilePath())
        return { CopyProblem::SameFile, to };
    if (Step step = whyInUse(from); stops(step))
        return step;
    return whyInUse(to);
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

Step copyContents(QFile& input, QFileDevice& output, const QString& dest)
{
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        errno = 0;
        const qint64 got = input.read(chunk.data(), chunk.size());
        if (got < 0)
            return { CopyProblem::CannotReadSource, input.fileName(), errno };
        if (got == 0)
            break;
        errno = 0;
        // A short write leaves Qt without an error of its own; errno tells the cause either way.
        if (output.write(chunk.constData(), got) != got)
            return { CopyProblem::CannotWriteCopy, dest, errno };
        // The sync before the rename then waits for little.
        if (output.flush())
            startWritingBack(output.handle(), copied, got);
        copied += got;
    }
    // A file that grew or shrank while it was read gives no consistent copy.
    if (copied != input.size())
        return { CopyProblem::SourceChangedSize, input.fileName() };
    return {};
}

Step syncToDisk(QFileDevice& file, const QString& dest)
{
    errno = 0;
    if (!file.flush())
        return { CopyProblem::CannotWriteCopy, dest, errno };
#ifdef Q_OS_WIN
    const bool synced = _commit(file.handle()) == 0;
#else
    const bool synced = ::fsync(file.handle()) == 0;
#endif
    if (!synced)
        return { CopyProblem::CannotSyncCopy, dest, errno };
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
Step copyThroughTemporary(const QFileInfo& source, const QFileInfo& dest, bool replace)
{
    const QString to = dest.absoluteFilePath();
    QFile input(source.absoluteFilePath());
    errno = 0;
    if (!input.open(QIODevice::ReadOnly))
        return { CopyProblem::CannotReadSource, input.fileName(), errno };
    removeAbandonedCopies(dest);
    QTemporaryFile temporary(dest.absoluteDir().filePath(temporaryNamePrefix(dest) + temporaryPlaceholder));
    errno = 0;
    if (!temporary.open())
        return { CopyProblem::CannotCreateCopy, dest.absolutePath(), errno };
    takeOwnLock(temporary);
    if (Step step = copyContents(input, temporary, to); stops(step))
        return step;
    errno = 0;
    if (!temporary.setPermissions(fileModeOf((dest.exists() ? dest : source).absoluteFilePath())))
        return { CopyProblem::CannotSetPermissions, to, errno };
    if (Step step = syncToDisk(temporary, to); stops(step))
        return step;
    temporary.close();
    errno = 0;
    if (!moveIntoPlace(temporary.fileName(), to, replace)) {
        const int error = errno;
        if (!replace && error == EEXIST)
            return { CopyProblem::DestinationExists, to, error };
        return { CopyProblem::CannotMoveIntoPlace, to, error };
    }
    temporary.setAutoRemove(false);
    return {};
}

QString withSystemError(const QString& sentence, int systemError)
{
    return systemError == 0 ? sentence + QLatin1Char('.')
                            : QStringLiteral("%1 (%2).").arg(sentence, germanSystemError(systemError));
}

} // namespace

QString CopyResult::germanCause() const
{
    const QString file = QDir::toNativeSeparators(path_);
    switch (problem_) {
    case CopyProblem::None:
        return {};
    case CopyProblem::SourceMissing:
        return QStringLiteral("Die Datei \"%1\" ist nicht vorhanden.").arg(file);
    case CopyProblem::SourceNotAFile:
        return QStringLiteral("\"%1\" ist keine Datei.").arg(file);
    case CopyProblem::DestinationFolderMissing:
        return QStringLiteral("Der Ordner \"%1\" ist nicht vorhanden.").arg(file);
    case CopyProblem::DestinationNotAFile:
        return QStringLiteral("Unter \"%1\" liegt ein Ordner oder etwas anderes als eine Datei.").arg(file);
    case CopyProblem::DestinationExists:
        return QStringLiteral("Die Datei \"%1\" ist schon vorhanden.").arg(file);
    case CopyProblem::SameFile:
        return QStringLiteral("Quelle und Ziel sind dieselbe Datei \"%1\".").arg(file);
    case CopyProblem::UnfinishedChangeBeside:
        return QStringLiteral("Die Datendatei ist in Benutzung oder eine Änderung an ihr wurde nicht abgeschlossen: "
                              "neben ihr liegt \"%1\".").arg(file);
    case CopyProblem::LockedElsewhere:
        return QStringLiteral("Die Datei \"%1\" ist in Benutzung: ein anderes Programm hält sie geöffnet.").arg(file);
    case CopyProblem::CannotReadSource:
        return withSystemError(QStringLiteral("Die Datei \"%1\" konnte nicht gelesen werden").arg(file), systemError_);
    case CopyProblem::CannotCreateCopy:
        return withSystemError(QStringLiteral("Im Ordner \"%1\" konnte keine Kopie angelegt werden").arg(file), systemError_);
    case CopyProblem::CannotWriteCopy:
        return withSystemError(QStringLiteral("Die Kopie nach \"%1\" konnte nicht geschrieben werden").arg(file), systemError_);
    case CopyProblem::SourceChangedSize:
        return QStringLiteral("Die Datei \"%1\" hat sich verändert, während sie kopiert wurde.").arg(file);
    case CopyProblem::CannotSetPermissions:
        return withSystemError(QStringLiteral("Die Rechte der Kopie \"%1\" konnten nicht gesetzt werden").arg(file), systemError_);
    case CopyProblem::CannotSyncCopy:
        return withSystemError(QStringLiteral("Die Kopie nach \"%1\" konnte nicht auf den Datenträger geschrieben werden").arg(file), systemError_);
    case CopyProblem::CannotMoveIntoPlace:
        return withSystemError(QStringLiteral("Die Kopie konnte nicht an die Stelle von \"%1\" gesetzt werden").arg(file), systemError_);
    case CopyProblem::OutOfMemory:
        return QStringLiteral("Für die Kopie nach \"%1\" reichte der Arbeitsspeicher nicht.").arg(file);
    }
    return {};
}

CopyResult fileCopy(const QString& sourceFile, const QString& destFile, bool alwaysOverwrite)
{
    try {
        const QFileInfo source(sourceFile);
        const QFileInfo dest(destFile);
        if (Step step = whyNotCopyable(source, dest, alwaysOverwrite); stops(step))
            return step;
        return copyThroughTemporary(source, dest, alwaysOverwrite);
    } catch (...) {
        // Only running out of memory gets here; the temporary file has removed itself already.
        return { CopyProblem::OutOfMemory, destFile, ENOMEM };
    }
}

} // namespace tavik::store

#include "store/FileCopy.h"

#include "store/FileLockProbe.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavik::store {

namespace {

constexpr qint64 chunkSize = 1024 * 1024;

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
        if (output.write(chunk.constData(), got) != got)
            return QStringLiteral("cannot write temporary file: ") + output.errorString();
        copied += got;
    }
    // A file that grew or shrank while it was read gives no consistent copy.
    if (copied != input.size())
        return QStringLiteral("source changed size while it was copied");
    return {};
}

QFileDevice::Permissions modeOf(const QFileInfo& file)
{
    // The *User flags say what this process may do, not the file's mode; Qt would set them as owner flags.
    return file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
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
void syncFolder(const QString& folder)
{
    // The renamed entry only outlasts a power cut once the folder itself is on disk.
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

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
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const bool moved = replace ? ::rename(source.constData(), target.constData()) == 0
                               : moveWithoutReplacing(source.constData(), target.constData());
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
    QTemporaryFile temporary(dest.absoluteFilePath() + QStringLiteral(".copy-XXXXXX"));
    if (!temporary.open())
        return QStringLiteral("cannot create temporary file: ") + temporary.errorString();
    if (Problem problem = copyContents(input, temporary); !problem.isEmpty())
        return problem;
    if (!temporary.setPermissions(modeOf(dest.exists() ? dest : source)))
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

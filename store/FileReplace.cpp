#include "store/FileReplace.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavik::store {

QFileDevice::Permissions fileModeOf(const QString& path)
{
    return QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

bool syncFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()))) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

bool syncFolder(const QString& folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return true;
#else
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return synced;
#endif
}

bool replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

#ifdef Q_OS_WIN
bool writeOwnerOnlyFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(bytes) == bytes.size() && file.flush() && file.commit();
}
#else
namespace {
bool writeAll(int descriptor, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

bool writeAndSync(int descriptor, const QByteArray& bytes)
{
    return ::fchmod(descriptor, S_IRUSR | S_IWUSR) == 0 && writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
}

bool moveIntoPlace(const QByteArray& temporary, const QString& path)
{
    if (!replaceFile(QFile::decodeName(temporary), path)) {
        ::unlink(temporary.constData());
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

#ifdef O_TMPFILE
// The file has no name until it is complete, so a run killed while writing leaves nothing; a new
// file gets its name in one step, and only one that replaces another is named beside it first.
std::optional<bool> writeUnnamed(const QString& path, const QByteArray& bytes)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int descriptor = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return std::nullopt;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(descriptor);
    bool done = writeAndSync(descriptor, bytes);
    if (done) {
        const QByteArray destination = QFile::encodeName(path);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, destination.constData(), AT_SYMLINK_FOLLOW) == 0) {
            syncFolder(QFile::decodeName(folder));
        } else {
            QByteArray temporary = destination + ".tavik-write-" + QByteArray::number(qint64(::getpid()));
            done = errno == EEXIST
                && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temporary.constData(), AT_SYMLINK_FOLLOW) == 0
                && moveIntoPlace(temporary, path);
        }
    }
    ::close(descriptor);
    return done;
}
#endif
} // namespace

bool writeOwnerOnlyFile(const QString& path, const QByteArray& bytes)
{
#ifdef O_TMPFILE
    if (const std::optional<bool> written = writeUnnamed(path, bytes))
        return *written;
#endif
    QByteArray temporary = QFile::encodeName(path) + ".tavik-write-XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    const bool written = writeAndSync(descriptor, bytes);
    if (::close(descriptor) == 0 && written)
        return moveIntoPlace(temporary, path);
    ::unlink(temporary.constData());
    return false;
}
#endif

} // namespace tavik::store

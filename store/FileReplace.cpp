#include "store/FileReplace.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

void startWritingBack(int descriptor, qint64 offset, qint64 length)
{
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(descriptor, offset, length, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(offset);
    Q_UNUSED(length);
#endif
}

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

bool isSameFile(const QString& first, const QString& second)
{
    const QString resolved = QFileInfo(first).canonicalFilePath();
    if (!resolved.isEmpty() && resolved == QFileInfo(second).canonicalFilePath())
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    struct stat a { };
    struct stat b { };
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 && ::stat(QFile::encodeName(second).constData(), &b) == 0
        && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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

bool writeOwnerOnlyFile(const QString& path, const QByteArray& bytes)
{
    OwnerOnlyFile file(path);
    file.write(bytes);
    return file.commit();
}

#ifdef Q_OS_WIN
OwnerOnlyFile::OwnerOnlyFile(const QString& path)
    : path_(path)
    , file_(path)
{
    failed_ = !file_.open(QIODevice::WriteOnly);
    if (!failed_)
        file_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

OwnerOnlyFile::~OwnerOnlyFile() = default;

void OwnerOnlyFile::write(QByteArrayView bytes)
{
    failed_ = failed_ || file_.write(bytes.data(), bytes.size()) != bytes.size();
}

bool OwnerOnlyFile::commit()
{
    if (failed_ || !file_.flush()) {
        file_.cancelWriting();
        return false;
    }
    return file_.commit();
}
#else
int openUnnamedFile(const QString& folder, int accessMode)
{
#ifdef O_TMPFILE
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | accessMode | O_CLOEXEC, 0600);
#else
    Q_UNUSED(folder);
    Q_UNUSED(accessMode);
    errno = EOPNOTSUPP;
    return -1;
#endif
}

namespace {
// Fewer, larger writes: a run's log and report take hundreds of thousands of lines.
constexpr qsizetype pieceSize = 256 * 1024;
constexpr qint64 writebackStep = 4 * 1024 * 1024;

bool writeAll(int descriptor, QByteArrayView bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(descriptor, bytes.data() + written, size_t(bytes.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
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
// A new file gets its name in one step; only one that replaces another is named beside it first.
bool linkIntoPlace(int descriptor, const QString& path)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(descriptor);
    const QByteArray destination = QFile::encodeName(path);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, destination.constData(), AT_SYMLINK_FOLLOW) == 0) {
        syncFolder(QFileInfo(path).absolutePath());
        return true;
    }
    const QByteArray temporary = destination + ".tavik-write-" + QByteArray::number(qint64(::getpid()));
    return errno == EEXIST
        && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temporary.constData(), AT_SYMLINK_FOLLOW) == 0
        && moveIntoPlace(temporary, path);
}
#endif
} // namespace

OwnerOnlyFile::OwnerOnlyFile(const QString& path)
    : path_(path)
{
    // Without a name until it is complete, a run killed while writing leaves nothing behind.
    descriptor_ = openUnnamedFile(QFileInfo(path).absolutePath(), O_WRONLY);
    if (descriptor_ < 0) {
        temporary_ = QFile::encodeName(path) + ".tavik-write-XXXXXX";
        descriptor_ = ::mkstemp(temporary_.data());
        if (descriptor_ < 0)
            temporary_.clear();
    }
    if (descriptor_ < 0 || ::fchmod(descriptor_, S_IRUSR | S_IWUSR) != 0)
        fail();
    else
        pending_.reserve(std::size_t(pieceSize));
}

void OwnerOnlyFile::fail()
{
    if (!failed_)
        cause_ = errno;
    failed_ = true;
}

OwnerOnlyFile::~OwnerOnlyFile()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
}

void OwnerOnlyFile::write(QByteArrayView bytes)
{
    if (failed_ || (pending_.size() + std::size_t(bytes.size()) > std::size_t(pieceSize) && !flush()))
        return;
    if (bytes.size() >= pieceSize) {
        if (!writeAll(descriptor_, bytes))
            fail();
        handedOver_ += bytes.size();
    } else {
        pending_.append(bytes.data(), std::size_t(bytes.size()));
    }
    startWriteback();
}

bool OwnerOnlyFile::flush()
{
    if (!failed_ && !writeAll(descriptor_, pending_))
        fail();
    handedOver_ += qint64(pending_.size());
    pending_.clear(); // keeps its room for the next piece
    return !failed_;
}

// Pages written but not yet on the disk would all wait for the fsync before the file is named.
void OwnerOnlyFile::startWriteback()
{
    if (failed_ || handedOver_ - writebackFrom_ < writebackStep)
        return;
    startWritingBack(descriptor_, writebackFrom_, handedOver_ - writebackFrom_);
    writebackFrom_ = handedOver_;
}

bool OwnerOnlyFile::commit()
{
    if (failed_ || !flush())
        return false;
    if (::fsync(descriptor_) != 0) {
        fail();
        return false;
    }
    bool placed = false;
    if (temporary_.isEmpty()) {
#ifdef O_TMPFILE
        placed = linkIntoPlace(descriptor_, path_);
#endif
    } else {
        const bool closed = ::close(descriptor_) == 0;
        descriptor_ = -1;
        placed = closed && moveIntoPlace(temporary_, path_);
        // Renamed or removed by now; an unclosed one is left to the destructor.
        if (closed)
            temporary_.clear();
    }
    if (!placed)
        fail();
    return placed;
}
#endif

} // namespace tavik::store

#include "store/RunLock.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavik::store {

QString RunLock::lockPathFor(const QString& dataFile)
{
    return dataFile + QStringLiteral(".lock");
}

RunLock::RunLock(RunLock&& other) noexcept
    : state_(std::exchange(other.state_, State::NoFolder))
    , systemError_(other.systemError_)
    , path_(std::move(other.path_))
#ifdef Q_OS_WIN
    , handle_(std::exchange(other.handle_, nullptr))
#else
    , descriptor_(std::exchange(other.descriptor_, -1))
#endif
{
}

RunLock& RunLock::operator=(RunLock&& other) noexcept
{
    if (this != &other) {
        release();
        state_ = std::exchange(other.state_, State::NoFolder);
        systemError_ = other.systemError_;
        path_ = std::move(other.path_);
#ifdef Q_OS_WIN
        handle_ = std::exchange(other.handle_, nullptr);
#else
        descriptor_ = std::exchange(other.descriptor_, -1);
#endif
    }
    return *this;
}

RunLock::~RunLock()
{
    release();
}

#ifdef Q_OS_WIN

RunLock RunLock::take(const QString& dataFile)
{
    RunLock lock;
    lock.path_ = lockPathFor(dataFile);
    if (!QFileInfo(dataFile).absoluteDir().exists())
        return lock;
    // Opened without sharing: a second open fails for as long as this handle lives.
    HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(lock.path_.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lock.systemError_ = int(GetLastError());
        lock.state_ = lock.systemError_ == ERROR_SHARING_VIOLATION ? State::HeldByAnotherRun : State::Failed;
        return lock;
    }
    lock.handle_ = handle;
    lock.state_ = State::Held;
    return lock;
}

void RunLock::release()
{
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    if (state_ == State::Held)
        state_ = State::NoFolder;
}

#else

namespace {
bool sameFile(const struct stat& first, const struct stat& second)
{
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
} // namespace

RunLock RunLock::take(const QString& dataFile)
{
    RunLock lock;
    lock.path_ = lockPathFor(dataFile);
    const QByteArray path = QFile::encodeName(lock.path_);
    // The holder removes the file before it lets go; a run that opened the file just before that
    // gets the lock of a file no longer there, notices, and tries the new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Read-only is enough for flock, and lets a run of another user lock a file left by a crash.
        const int descriptor = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (descriptor < 0) {
            lock.systemError_ = errno;
            lock.state_ = errno == ENOENT ? State::NoFolder : State::Failed;
            return lock;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            lock.systemError_ = errno;
            lock.state_ = errno == EWOULDBLOCK ? State::HeldByAnotherRun : State::Failed;
            ::close(descriptor);
            return lock;
        }
        struct stat held { };
        struct stat named { };
        if (::fstat(descriptor, &held) == 0 && ::stat(path.constData(), &named) == 0 && sameFile(held, named)) {
            lock.descriptor_ = descriptor;
            lock.state_ = State::Held;
            return lock;
        }
        ::close(descriptor);
    }
    lock.systemError_ = EAGAIN;
    lock.state_ = State::HeldByAnotherRun;
    return lock;
}

void RunLock::release()
{
    if (descriptor_ < 0)
        return;
    // Removed while still held, so that no run takes the lock of a file about to disappear.
    ::unlink(QFile::encodeName(path_).constData());
    ::close(descriptor_);
    descriptor_ = -1;
    state_ = State::NoFolder;
}

#endif

} // namespace tavik::store

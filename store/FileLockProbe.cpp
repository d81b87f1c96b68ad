#include "store/FileLockProbe.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#endif

namespace tavik::store {

namespace {

// SQLite keeps its lock bytes at 1 GiB, where no data page of a locked file is ever read or
// written: the pending byte, the reserved byte after it and the 510-byte shared range after that.
constexpr qint64 pendingByte = 0x40000000;
constexpr qint64 lockByteCount = 1 + 1 + 510;

#ifdef Q_OS_WIN
bool lockBytesHeld(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    OVERLAPPED range {};
    range.Offset = static_cast<DWORD>(pendingByte);
    // Windows cannot be asked who holds a range; taking all of it for a moment tells the same.
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, lockByteCount, 0, &range))
        return true;
    UnlockFileEx(handle, 0, lockByteCount, 0, &range);
    return false;
}
#else
bool lockBytesHeld(int descriptor)
{
    struct flock probe { };
    // A write lock conflicts with every lock another process holds there, shared or not.
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = pendingByte;
    probe.l_len = lockByteCount;
    if (::fcntl(descriptor, F_GETLK, &probe) != 0)
        return true;
    return probe.l_type != F_UNLCK;
}
#endif

} // namespace

bool sqliteLockHeldElsewhere(const QString& dataFile)
{
    QFile file(dataFile);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    return lockBytesHeld(file.handle());
}

} // namespace tavik::store

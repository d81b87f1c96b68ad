#include "TestMount.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace tavik::reliability {

namespace {
QString systemError(const char* step)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromLocal8Bit(std::strerror(errno)));
}

// Moves this process into a mount namespace of its own, which the programs it starts share: its
// mounts vanish with it however it ends (a test killed by a timeout leaves none behind) and no
// other process sees them. Where that is refused, the mounts are made where everybody sees them.
void keepMountsToThisProcess()
{
    if (::unshare(CLONE_NEWNS) == 0)
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
}
} // namespace

TestMount::TestMount(QByteArray folder)
    : folder_(std::move(folder))
{
}

TestMount::~TestMount()
{
    // Detached, so a file some process still holds open cannot keep the mount alive.
    ::umount2(folder_.constData(), MNT_DETACH);
}

std::unique_ptr<TestMount> TestMount::smallDisk(const QString& folder, qint64 bytes, QString& whyNot)
{
    const QByteArray path = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    keepMountsToThisProcess();
    if (::mount("tavik-test", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        whyNot = systemError("mount tmpfs");
        return nullptr;
    }
    return std::unique_ptr<TestMount>(new TestMount(path));
}

std::unique_ptr<TestMount> TestMount::readOnly(const QString& folder, QString& whyNot)
{
    const QByteArray path = QFile::encodeName(folder);
    keepMountsToThisProcess();
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0) {
        whyNot = systemError("bind mount");
        return nullptr;
    }
    std::unique_ptr<TestMount> mounted(new TestMount(path));
    // A bind mount only becomes read-only when it is mounted again with that flag.
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        whyNot = systemError("remount read-only");
        return nullptr;
    }
    return mounted;
}

WorkFolder::WorkFolder(qint64 bytes)
{
    if (dir_.isValid())
        mount_ = TestMount::smallDisk(dir_.path(), bytes, whyOnDisk_);
}

} // namespace tavik::reliability

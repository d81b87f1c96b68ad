#include "FolderEvents.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>

namespace tavik::reliability {

namespace {
constexpr uint32_t namesChanging = IN_CREATE | IN_MOVED_TO | IN_DELETE;

QString describe(const inotify_event& event)
{
    // The random part of a temporary name differs from run to run; the step it marks does not.
    static const QRegularExpression randomEnding(QStringLiteral("([.-])[A-Za-z0-9]{6}$"));
    QString name = QFile::decodeName(event.name);
    if (!name.endsWith(QLatin1String("journal")))
        name.replace(randomEnding, QStringLiteral("\\1XXXXXX"));
    if (event.mask & IN_CREATE)
        return QStringLiteral("created ") + name;
    if (event.mask & IN_MOVED_TO)
        return QStringLiteral("renamed to ") + name;
    return QStringLiteral("removed ") + name;
}
} // namespace

FolderEvents::FolderEvents(const QString& folder)
    : descriptor_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (descriptor_ >= 0)
        watch_ = inotify_add_watch(descriptor_, QFile::encodeName(folder).constData(), namesChanging);
}

FolderEvents::~FolderEvents()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

QStringList FolderEvents::take()
{
    QStringList events;
    alignas(inotify_event) std::array<char, 64 * 1024> buffer {};
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer.data(), buffer.size());
        if (got <= 0)
            return events;
        // The kernel pads every record so that the next one is aligned like the first.
        for (ssize_t offset = 0; offset < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            if (event->len > 0 && (event->mask & namesChanging))
                events << describe(*event);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace tavik::reliability

#include "KilledRun.h"

#include "FolderEvents.h"
#include "MigrationProgram.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <vector>

namespace tavik::reliability {

namespace {

// The longest the watcher sleeps between two looks at the clock and the child.
constexpr qint64 longestNapMicroseconds = 2000;
constexpr qint64 longestRunMicroseconds = 120LL * 1000 * 1000;

// A C array of strings for posix_spawn that owns what it points to.
class CStrings {
public:
    explicit CStrings(const QStringList& strings)
    {
        for (const QString& string : strings)
            bytes_.push_back(QFile::encodeName(string));
        for (QByteArray& bytes : bytes_)
            pointers_.push_back(bytes.data());
        pointers_.push_back(nullptr);
    }
    char* const* data() { return pointers_.data(); }

private:
    std::vector<QByteArray> bytes_;
    std::vector<char*> pointers_;
};

// The child's standard streams all on /dev/null: nothing waits for input, nothing fills a pipe.
class SilentStreams {
public:
    SilentStreams()
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    }
    ~SilentStreams() { posix_spawn_file_actions_destroy(&actions_); }
    SilentStreams(const SilentStreams&) = delete;
    SilentStreams& operator=(const SilentStreams&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

pid_t spawnProgram(const QProcessEnvironment& environment, const QStringList& arguments)
{
    CStrings argv(QStringList { programPath() } + arguments);
    CStrings envp(environment.toStringList());
    SilentStreams streams;
    pid_t child = 0;
    const QByteArray program = QFile::encodeName(programPath());
    if (posix_spawn(&child, program.constData(), streams.get(), nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " + program.toStdString());
    return child;
}

// When the kill is due, counted from the start; nothing while the change it counts from is still to come.
std::optional<qint64> dueAt(const KillPoint& point, const KilledRun& run)
{
    if (run.folderChanges.size() < point.afterFolderChanges)
        return std::nullopt;
    const qint64 from
        = point.afterFolderChanges == 0 ? 0 : run.changeMicroseconds.at(point.afterFolderChanges - 1);
    return from + point.thenMicroseconds;
}

void napUntilSomethingHappens(const FolderEvents& events, std::optional<qint64> due, qint64 now)
{
    const qint64 nap
        = due ? std::clamp<qint64>(*due - now, 0, longestNapMicroseconds) : longestNapMicroseconds;
    pollfd watched { events.descriptor(), POLLIN, 0 };
    const timespec timeout { 0, static_cast<long>(nap * 1000) };
    ::ppoll(&watched, 1, &timeout, nullptr);
}

} // namespace

KilledRun runAndKill(const QProcessEnvironment& environment, const QStringList& arguments,
    const QString& watchedFolder, const KillPoint& point)
{
    FolderEvents events(watchedFolder);
    if (!events.isWatching())
        throw std::runtime_error("cannot watch " + watchedFolder.toStdString());
    KilledRun run;
    QElapsedTimer clock;
    const pid_t child = spawnProgram(environment, arguments);
    clock.start();
    for (;;) {
        const QStringList changes = events.take();
        const qint64 now = clock.nsecsElapsed() / 1000;
        run.folderChanges << changes;
        run.changeMicroseconds << QList<qint64>(changes.size(), now);
        int status = 0;
        const std::optional<qint64> due = dueAt(point, run);
        run.hung = now > longestRunMicroseconds;
        if ((due && now >= *due) || run.hung) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        } else if (::waitpid(child, &status, WNOHANG) != child) {
            napUntilSomethingHappens(events, due, now);
            continue;
        }
        // A child that had ended just before the kill counts as ended by itself.
        run.killed = !run.hung && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.microseconds = clock.nsecsElapsed() / 1000;
        const QStringList last = events.take();
        run.folderChanges << last;
        run.changeMicroseconds << QList<qint64>(last.size(), run.microseconds);
        return run;
    }
}

} // namespace tavik::reliability

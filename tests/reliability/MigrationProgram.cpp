#include "MigrationProgram.h"

#include "tests/support/SettingsFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <QDirIterator>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace tavik::reliability {

namespace {
// Long enough for the largest sample on a slow CI machine; a hanging run still ends the test.
constexpr int longestRunMs = 120000;
} // namespace

QString ProgramResult::describe() const
{
    return QStringLiteral("exit status %1%2\nstdout: %3\nstderr: %4")
        .arg(exitCode)
        .arg(endedByItself ? QString() : QStringLiteral(" (did not end by itself)"))
        .arg(out.left(2000), err.left(2000));
}

ProgramSettings::ProgramSettings(QString configFolder)
    : configFolder_(std::move(configFolder))
{
}

bool ProgramSettings::pointAt(const QString& source, const QString& target) const
{
    return testsupport::writeSettingsFile(configFolder_, QStringLiteral("Tavik 2.0"), source)
        && testsupport::writeSettingsFile(configFolder_, QStringLiteral("Tavik 5.0"), target);
}

QProcessEnvironment ProgramSettings::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder_);
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

MigrationFolder::MigrationFolder(const QString& parent)
    : dir_((parent.isEmpty() ? QDir::tempPath() : parent) + QStringLiteral("/migration-XXXXXX"))
    , data_(dir_.filePath(QStringLiteral("daten")))
    , settings_(dir_.filePath(QStringLiteral("config")))
{
    valid_ = dir_.isValid() && QDir().mkpath(data_) && settings_.pointAt(source(), target());
}

ProgramResult MigrationFolder::run(const QStringList& further, qint64 fileSizeLimit) const
{
    return runProgram(environment(), batchArguments(further), fileSizeLimit);
}

QString programPath()
{
    return qEnvironmentVariable("TAVIK_PROGRAM");
}

QStringList batchArguments(const QStringList& further)
{
    return QStringList { QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19") } + further;
}

namespace {

ProgramResult runToTheEnd(QProcess& program, const QProcessEnvironment& environment, const QStringList& arguments)
{
    program.setProcessEnvironment(environment);
    program.start(programPath(), arguments);
    program.closeWriteChannel();
    ProgramResult result;
    const bool finished = program.waitForFinished(longestRunMs);
    if (!finished) {
        program.kill();
        program.waitForFinished();
    }
    result.endedByItself = finished && program.exitStatus() == QProcess::NormalExit;
    result.exitCode = program.exitCode();
    result.out = QString::fromUtf8(program.readAllStandardOutput());
    result.err = QString::fromUtf8(program.readAllStandardError());
    return result;
}

} // namespace

ProgramResult runProgram(
    const QProcessEnvironment& environment, const QStringList& arguments, qint64 fileSizeLimit)
{
    QProcess program;
    if (fileSizeLimit > 0) {
        program.setChildProcessModifier([fileSizeLimit] {
            // Ignored, SIGXFSZ turns the limit into a failing write instead of a killed process.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit { static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit) };
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    return runToTheEnd(program, environment, arguments);
}

std::optional<long> peakMemoryOfRun(const QProcessEnvironment& environment, const QStringList& arguments)
{
    // QProcess reaps its child itself; wait4 on a child of our own gives that child's usage alone.
    QList<QByteArray> texts { QFile::encodeName(programPath()) };
    for (const QString& argument : arguments)
        texts << argument.toLocal8Bit();
    QList<QByteArray> variables;
    for (const QString& variable : environment.toStringList())
        variables << variable.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return usage.ru_maxrss;
}

ProgramResult runProgramAs(uint user, const QProcessEnvironment& environment, const QStringList& arguments)
{
    QProcess program;
    program.setChildProcessModifier([user] {
        // Group first: once the user is dropped, the group can no longer be changed.
        if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)
            ::_exit(126);
    });
    return runToTheEnd(program, environment, arguments);
}

bool handOver(const QString& folder, uint user)
{
    bool handed = ::chown(QFile::encodeName(folder).constData(), user, user) == 0;
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext())
        handed = ::lchown(QFile::encodeName(entries.next()).constData(), user, user) == 0 && handed;
    return handed;
}

} // namespace tavik::reliability

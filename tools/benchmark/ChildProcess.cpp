#include "tools/benchmark/ChildProcess.h"

#include <QFile>
#include <QTemporaryFile>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr const char* launcher = TAVIK_LAUNCHER_PROGRAM;
}

namespace tavik::benchmark {

namespace {

// posix_spawn wants NULL-terminated arrays of C strings; this keeps the strings alive for it.
class CStringArray {
public:
    void append(const QString& text) { strings_.push_back(text.toStdString()); }
    void append(const char* text) { strings_.emplace_back(text); }

    char* const* data()
    {
        pointers_.clear();
        for (std::string& text : strings_)
            pointers_.push_back(text.data());
        pointers_.push_back(nullptr);
        return pointers_.data();
    }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

// The file actions belong to one spawn and are destroyed with it on every path.
class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    void open(int descriptor, const QString& path, int flags)
    {
        paths_.push_back(path.toStdString());
        posix_spawn_file_actions_addopen(&actions_, descriptor, paths_.back().c_str(), flags, 0644);
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    std::vector<std::string> paths_;
};

bool isOverridden(const char* entry, const QMap<QString, QString>& environment)
{
    const char* equals = std::strchr(entry, '=');
    return equals && environment.contains(QString::fromLocal8Bit(entry, equals - entry));
}

// What the launcher wrote: "EXITED STATUS PEAK_KIB".
void readLaunchResult(const QString& path, ChildOutcome& outcome)
{
    QFile file(path);
    const QList<QByteArray> fields
        = file.open(QIODevice::ReadOnly) ? file.readAll().simplified().split(' ') : QList<QByteArray>();
    if (fields.size() != 3)
        throw std::runtime_error(path.toStdString() + ": no result of the launcher");
    outcome.exitedNormally = fields[0] == "1";
    outcome.exitCode = fields[1].toInt();
    outcome.peakResidentKiB = fields[2].toLongLong(); // kibibytes on Linux
}

} // namespace

ChildProcess::ChildProcess(QString program, QStringList arguments)
    : program_(std::move(program))
    , arguments_(std::move(arguments))
{
}

void ChildProcess::setEnvironmentVariable(const QString& name, const QString& value)
{
    environment_.insert(name, value);
}

void ChildProcess::setOutputFiles(const QString& standardOutput, const QString& standardError)
{
    standardOutput_ = standardOutput;
    standardError_ = standardError;
}

ChildOutcome ChildProcess::run() const
{
    // The launcher starts the program from a process of its own few hundred KiB, so that the
    // program's peak memory does not begin at the benchmark's (see LauncherMain.cpp).
    QTemporaryFile result;
    if (!result.open())
        throw std::runtime_error("launcher result: " + result.errorString().toStdString());
    CStringArray arguments;
    arguments.append(launcher);
    arguments.append(result.fileName());
    arguments.append(program_);
    for (const QString& argument : arguments_)
        arguments.append(argument);
    CStringArray environment;
    for (char** entry = environ; *entry; ++entry) {
        if (!isOverridden(*entry, environment_))
            environment.append(*entry);
    }
    for (auto it = environment_.cbegin(); it != environment_.cend(); ++it)
        environment.append(it.key() + QLatin1Char('=') + it.value());
    FileActions actions;
    actions.open(STDIN_FILENO, QStringLiteral("/dev/null"), O_RDONLY);
    actions.open(STDOUT_FILENO, standardOutput_, O_WRONLY | O_CREAT | O_TRUNC);
    actions.open(STDERR_FILENO, standardError_, O_WRONLY | O_CREAT | O_TRUNC);

    const std::string program = launcher;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    if (const int code
        = posix_spawn(&child, program.c_str(), actions.get(), nullptr, arguments.data(), environment.data());
        code != 0)
        throw std::runtime_error(program + ": " + std::strerror(code));
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error(program + ": waitpid: " + std::strerror(errno));
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(program + " failed for " + program_.toStdString());

    ChildOutcome outcome;
    outcome.seconds = elapsed.count();
    readLaunchResult(result.fileName(), outcome);
    return outcome;
}

} // namespace tavik::benchmark

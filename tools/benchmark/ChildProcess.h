#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace tavik::benchmark {

// What a finished child process cost: its wall time and the most memory it held at once.
struct ChildOutcome {
    bool exitedNormally = false;
    int exitCode = -1;
    double seconds = 0.0;
    qint64 peakResidentKiB = 0; // ru_maxrss of the child alone, never of the benchmark
};

// Runs one program to its end with standard input from /dev/null and standard output and error
// into files, so that a batch run sees no terminal and shows no progress. It is started through
// tavik-benchmark-launcher, which sees that its peak memory is its own. The variables given
// are set in the child's environment on top of the benchmark's own.
class ChildProcess {
public:
    ChildProcess(QString program, QStringList arguments);

    void setEnvironmentVariable(const QString& name, const QString& value);
    void setOutputFiles(const QString& standardOutput, const QString& standardError);

    // Throws std::runtime_error when the program cannot be started.
    ChildOutcome run() const;

private:
    QString program_;
    QStringList arguments_;
    QMap<QString, QString> environment_;
    QString standardOutput_ = QStringLiteral("/dev/null");
    QString standardError_ = QStringLiteral("/dev/null");
};

} // namespace tavik::benchmark

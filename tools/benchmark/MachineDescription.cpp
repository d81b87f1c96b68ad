#include "tools/benchmark/MachineDescription.h"

#include "tools/benchmark/BenchmarkTexts.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <unistd.h>

namespace tavik::benchmark {

namespace {

// The first value of a "name : value" line of a /proc file, empty when there is none.
QString procValue(const QString& file, const QString& name)
{
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QRegularExpression line(QStringLiteral("^%1\\s*:\\s*(.*)$").arg(QRegularExpression::escape(name)),
        QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(proc.readAll())).captured(1).trimmed();
}

} // namespace

QString describeMachine()
{
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    const QString model = procValue(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name"));
    const double memoryKiB = procValue(QStringLiteral("/proc/meminfo"), QStringLiteral("MemTotal"))
                                 .section(QLatin1Char(' '), 0, 0)
                                 .toDouble();
    const QLocale german(QLocale::German, QLocale::Germany);
    return texts::machine.arg(cores).arg(model, german.toString(memoryKiB / (1024.0 * 1024.0), 'f', 1));
}

} // namespace tavik::benchmark

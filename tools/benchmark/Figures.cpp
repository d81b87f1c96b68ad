#include "tools/benchmark/Figures.h"

#include "tools/benchmark/BenchmarkTexts.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace tavik::benchmark {

namespace {

constexpr double bytesPerMegabyte = 1e6;

const QLocale& german()
{
    static const QLocale locale(QLocale::German, QLocale::Germany);
    return locale;
}

} // namespace

QString count(qint64 value)
{
    return german().toString(value);
}

QString decimal(double value, int decimals)
{
    return german().toString(value, 'f', decimals);
}

QString secondsText(double value)
{
    return texts::seconds.arg(decimal(value, value < 10 ? 2 : 1));
}

double megabytes(qint64 kibibytes)
{
    return double(kibibytes) * 1024.0 / bytesPerMegabyte;
}

QString row(const QStringList& cells)
{
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |");
}

QString separatorRow(int columns)
{
    QStringList cells;
    for (int i = 0; i < columns; ++i)
        cells << QStringLiteral("---:");
    return QStringLiteral("|") + cells.join(QLatin1Char('|')) + QStringLiteral("|");
}

QString verdict(bool held)
{
    return held ? texts::held : texts::missed;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

SizeResult::SizeResult(int reservations)
    : reservations_(reservations)
{
}

void requireSameWork(int size, const MigrationFigures& migration, const BaselineFigures& baseline)
{
    if (migration.chargeLines != baseline.chargeLines || migration.reservations != baseline.reservations)
        throw std::runtime_error(texts::countsDiffer.arg(size)
                                     .arg(migration.chargeLines)
                                     .arg(migration.reservations)
                                     .arg(baseline.chargeLines)
                                     .arg(baseline.reservations)
                                     .toStdString());
}

void SizeResult::add(const MigrationFigures& migration, const BaselineFigures& baseline)
{
    requireSameWork(reservations_, migration, baseline);
    migrations_.append(migration);
    baselines_.append(baseline);
}

qint64 SizeResult::chargeLines() const
{
    return migrations_.isEmpty() ? 0 : migrations_.first().chargeLines;
}

double SizeResult::runSeconds() const
{
    return medianOf(migrations_, [](const MigrationFigures& run) { return run.process.seconds; });
}

double SizeResult::importSeconds() const
{
    return medianOf(migrations_, [](const MigrationFigures& run) { return run.importSeconds; });
}

double SizeResult::baselineSeconds() const
{
    return medianOf(baselines_, [](const BaselineFigures& run) { return run.seconds; });
}

double SizeResult::ratio() const
{
    return pairedRatio(
        migrations_, baselines_, [](const MigrationFigures& run) { return run.importSeconds; },
        [](const BaselineFigures& run) { return run.seconds; });
}

double SizeResult::peakMegabytes() const
{
    qint64 peak = 0;
    for (const MigrationFigures& run : migrations_)
        peak = std::max(peak, run.process.peakResidentKiB);
    return megabytes(peak);
}

double SizeResult::baselinePeakMegabytes() const
{
    qint64 peak = 0;
    for (const BaselineFigures& run : baselines_)
        peak = std::max(peak, run.process.peakResidentKiB);
    return megabytes(peak);
}

QList<QPair<QString, double>> SizeResult::taskSeconds() const
{
    QList<QPair<QString, double>> tasks;
    if (migrations_.isEmpty())
        return tasks;
    for (qsizetype task = 0; task < migrations_.first().taskSeconds.size(); ++task) {
        QList<double> values;
        for (const MigrationFigures& run : migrations_) {
            if (task < run.taskSeconds.size())
                values << run.taskSeconds[task].second;
        }
        tasks.append({ migrations_.first().taskSeconds[task].first, median(values) });
    }
    return tasks;
}

QString renderFigures(const QList<SizeResult>& results, int repeat, const QString& machine)
{
    QStringList lines { texts::heading.arg(repeat), machine, QString(), texts::figuresHeader,
        separatorRow(10) };
    for (const SizeResult& size : results) {
        lines << row({ count(size.reservations()), count(size.chargeLines()), secondsText(size.runSeconds()),
            secondsText(size.importSeconds()), secondsText(size.baselineSeconds()), decimal(size.ratio(), 2),
            count(qRound64(size.reservations() / size.importSeconds())),
            count(qRound64(size.chargeLines() / size.importSeconds())),
            texts::megabytes.arg(decimal(size.peakMegabytes(), 1)),
            texts::megabytes.arg(decimal(size.baselinePeakMegabytes(), 1)) });
    }
    lines << QString();
    QStringList header { texts::taskColumn };
    for (const SizeResult& size : results)
        header << count(size.reservations());
    lines << row(header) << separatorRow(int(header.size()));
    const QList<QPair<QString, double>> names
        = results.isEmpty() ? QList<QPair<QString, double>>() : results.first().taskSeconds();
    for (qsizetype task = 0; task < names.size(); ++task) {
        QStringList cells { names[task].first };
        for (const SizeResult& size : results) {
            const auto tasks = size.taskSeconds();
            cells << (task < tasks.size() ? secondsText(tasks[task].second) : QString());
        }
        lines << row(cells);
    }
    return lines.join(QLatin1Char('\n'));
}

Verdicts judgeTargets(const QList<SizeResult>& results, const Targets& targets)
{
    Verdicts verdicts;
    QStringList& lines = verdicts.lines;
    bool& allHeld = verdicts.allHeld;
    for (const SizeResult& size : results) {
        if (size.reservations() != targets.ratioSize)
            continue;
        const bool held = size.ratio() <= targets.maxRatio;
        allHeld = allHeld && held;
        lines << texts::ratioTarget.arg(count(size.reservations()), decimal(size.ratio(), 2),
            decimal(targets.maxRatio, 1), verdict(held));
    }
    for (qsizetype i = 1; i < results.size(); ++i) {
        const SizeResult& smaller = results[i - 1];
        const SizeResult& larger = results[i];
        const double growth = larger.importSeconds() / smaller.importSeconds();
        const double limit = targets.maxGrowthPerSizeStep * larger.reservations() / smaller.reservations();
        const bool judged = smaller.reservations() >= targets.linearityFromSize;
        const bool held = !judged || growth <= limit;
        allHeld = allHeld && held;
        const double baselineGrowth = larger.baselineSeconds() / smaller.baselineSeconds();
        lines << texts::linearityTarget.arg(count(larger.reservations()), count(smaller.reservations()),
            decimal(growth, 1), decimal(limit, 1),
            judged ? verdict(held) : texts::notJudged.arg(count(targets.linearityFromSize)),
            decimal(baselineGrowth, 1));
    }
    for (const SizeResult& size : results) {
        const bool held = size.peakMegabytes() < targets.maxPeakMegabytes;
        allHeld = allHeld && held;
        lines << texts::memoryTarget.arg(count(size.reservations()), decimal(size.peakMegabytes(), 1),
            decimal(targets.maxPeakMegabytes, 0), verdict(held));
    }
    return verdicts;
}

} // namespace tavik::benchmark

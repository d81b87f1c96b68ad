#include "tools/benchmark/WholeRun.h"

#include "tools/benchmark/BenchmarkTexts.h"

#include <QStringList>

#include <algorithm>

namespace tavik::benchmark {

namespace {

qint64 largestPeak(const QList<BaselineFigures>& runs)
{
    qint64 peak = 0;
    for (const BaselineFigures& run : runs)
        peak = std::max(peak, run.process.peakResidentKiB);
    return peak;
}

QString kindName(bool withReport)
{
    return withReport ? texts::withReport : texts::withoutReport;
}

// Growth and memory of one kind, so that a miss says whether the report caused it.
void judgeKind(
    const QList<WholeRunResult>& results, const WholeRunTargets& targets, bool withReport, Verdicts& verdicts)
{
    const auto pairsOf = [withReport](const WholeRunResult& size) -> const RunPairs& {
        return withReport ? size.withReport() : size.withoutReport();
    };
    for (qsizetype i = 1; i < results.size(); ++i) {
        const WholeRunResult& smaller = results[i - 1];
        const WholeRunResult& larger = results[i];
        const double growth = pairsOf(larger).seconds() / pairsOf(smaller).seconds();
        const double limit = targets.maxGrowthPerSizeStep * larger.reservations() / smaller.reservations();
        const bool judged = smaller.reservations() >= targets.linearityFromSize;
        const bool held = !judged || growth <= limit;
        verdicts.allHeld = verdicts.allHeld && held;
        verdicts.lines << texts::wholeLinearityTarget.arg(kindName(withReport), count(larger.reservations()),
            count(smaller.reservations()), decimal(growth, 1), decimal(limit, 1),
            judged ? verdict(held) : texts::notJudged.arg(count(targets.linearityFromSize)),
            decimal(larger.baselineSeconds() / smaller.baselineSeconds(), 1));
    }
    for (const WholeRunResult& size : results) {
        const double peak = pairsOf(size).peakMegabytes();
        const bool held = peak < targets.maxPeakMegabytes;
        verdicts.allHeld = verdicts.allHeld && held;
        verdicts.lines << texts::wholeMemoryTarget.arg(kindName(withReport), count(size.reservations()),
            decimal(peak, 1), decimal(targets.maxPeakMegabytes, 0), verdict(held));
    }
}

} // namespace

void RunPairs::add(const MigrationFigures& migration, const BaselineFigures& baseline)
{
    migrations_.append(migration);
    baselines_.append(baseline);
}

double RunPairs::seconds() const
{
    return medianOf(migrations_, [](const MigrationFigures& run) { return run.process.seconds; });
}

double RunPairs::ratio() const
{
    return pairedRatio(
        migrations_, baselines_, [](const MigrationFigures& run) { return run.process.seconds; },
        [](const BaselineFigures& run) { return run.process.seconds; });
}

double RunPairs::peakMegabytes() const
{
    qint64 peak = 0;
    for (const MigrationFigures& run : migrations_)
        peak = std::max(peak, run.process.peakResidentKiB);
    return megabytes(peak);
}

WholeRunResult::WholeRunResult(int reservations)
    : reservations_(reservations)
{
}

void WholeRunResult::add(bool withReport, const MigrationFigures& migration, const BaselineFigures& baseline)
{
    requireSameWork(reservations_, migration, baseline);
    chargeLines_ = migration.chargeLines;
    if (migration.skipped >= 0)
        skipped_ = migration.skipped;
    (withReport ? withReport_ : withoutReport_).add(migration, baseline);
}

double WholeRunResult::baselineSeconds() const
{
    QList<double> values;
    for (const RunPairs* pairs : { &withReport_, &withoutReport_ }) {
        for (const BaselineFigures& run : pairs->baselines())
            values << run.process.seconds;
    }
    return median(values);
}

double WholeRunResult::baselinePeakMegabytes() const
{
    return megabytes(std::max(largestPeak(withReport_.baselines()), largestPeak(withoutReport_.baselines())));
}

QString renderWholeRuns(
    const QList<WholeRunResult>& results, int repeat, int oddPricePercent, const QString& machine)
{
    QStringList lines { texts::wholeHeading.arg(oddPricePercent).arg(repeat), machine, QString(),
        texts::wholeHeader, separatorRow(12) };
    for (const WholeRunResult& size : results) {
        const bool counted = size.skipped() >= 0;
        lines << row({ count(size.reservations()), counted ? count(size.skipped()) : QString(),
            counted ? decimal(100.0 * double(size.skipped()) / size.reservations(), 1) : QString(),
            count(size.chargeLines()), secondsText(size.withReport().seconds()),
            decimal(size.withReport().ratio(), 2),
            texts::megabytes.arg(decimal(size.withReport().peakMegabytes(), 1)),
            secondsText(size.withoutReport().seconds()), decimal(size.withoutReport().ratio(), 2),
            texts::megabytes.arg(decimal(size.withoutReport().peakMegabytes(), 1)),
            secondsText(size.baselineSeconds()),
            texts::megabytes.arg(decimal(size.baselinePeakMegabytes(), 1)) });
    }
    return lines.join(QLatin1Char('\n'));
}

Verdicts judgeWholeRuns(const QList<WholeRunResult>& results, const WholeRunTargets& targets)
{
    Verdicts verdicts;
    for (const WholeRunResult& size : results) {
        if (size.reservations() != targets.ratioSize)
            continue;
        const bool held = size.withReport().ratio() <= targets.maxRatioWithReport;
        verdicts.allHeld = verdicts.allHeld && held;
        verdicts.lines << texts::wholeRatioTarget.arg(count(size.reservations()),
            decimal(size.withReport().ratio(), 2), decimal(targets.maxRatioWithReport, 1), verdict(held));
    }
    judgeKind(results, targets, true, verdicts);
    judgeKind(results, targets, false, verdicts);
    return verdicts;
}

} // namespace tavik::benchmark

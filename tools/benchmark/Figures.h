#pragma once

#include "tools/benchmark/BaselineRun.h"
#include "tools/benchmark/MigrationRun.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tavik::benchmark {

// The goals the benchmark checks.
struct Targets {
    int ratioSize = 100000; // the ratio is judged at this size
    double maxRatio = 1.5; // task 4 against the baseline
    double maxGrowthPerSizeStep = 1.1; // time may grow 10 % more than the size does
    int linearityFromSize = 100000; // below it a run takes a fraction of a second: noise, not growth
    double maxPeakMegabytes = 100.0; // at every size, the largest included
};

// All runs of one size, migration and baseline in turns, and their medians.
class SizeResult {
public:
    explicit SizeResult(int reservations);

    // Throws std::runtime_error when the baseline did not write the migration's lines.
    void add(const MigrationFigures& migration, const BaselineFigures& baseline);

    int reservations() const { return reservations_; }
    qint64 chargeLines() const;
    double runSeconds() const;
    double importSeconds() const;
    double baselineSeconds() const;
    // The median of each run's task 4 divided by the baseline run right after it: a slow spell
    // of a shared machine hits both of a pair, whereas the medians of the two alone may come
    // from different spells.
    double ratio() const;
    double peakMegabytes() const; // the largest of all runs
    double baselinePeakMegabytes() const;
    // Task names in the order they ran, with the median of each.
    QList<QPair<QString, double>> taskSeconds() const;

private:
    int reservations_;
    QList<MigrationFigures> migrations_;
    QList<BaselineFigures> baselines_;
};

double median(QList<double> values);

// The median of one figure of each run.
template <typename Run, typename Figure> double medianOf(const QList<Run>& runs, Figure figure)
{
    QList<double> values;
    for (const Run& run : runs)
        values << figure(run);
    return median(values);
}

// The median of each run's figure over the baseline run right after it; a baseline of no time
// has no ratio.
template <typename Run, typename Baseline, typename Figure, typename BaselineFigure>
double pairedRatio(
    const QList<Run>& runs, const QList<Baseline>& baselines, Figure figure, BaselineFigure baselineFigure)
{
    QList<double> values;
    for (qsizetype run = 0; run < runs.size(); ++run) {
        if (baselineFigure(baselines[run]) > 0)
            values << figure(runs[run]) / baselineFigure(baselines[run]);
    }
    return median(values);
}

// Throws std::runtime_error when the baseline did not write the migration's lines: then the two
// did not do the same database work and their times do not compare.
void requireSameWork(int size, const MigrationFigures& migration, const BaselineFigures& baseline);

// How the tables show figures: German numbers, Markdown rows.
QString count(qint64 value);
QString decimal(double value, int decimals);
QString secondsText(double value);
double megabytes(qint64 kibibytes);
QString row(const QStringList& cells);
QString separatorRow(int columns);
QString verdict(bool held);

struct Verdicts {
    QStringList lines; // one per target and size, German, saying whether it held
    bool allHeld = true;
};

// The tables as Markdown that reads well on a terminal too.
QString renderFigures(const QList<SizeResult>& results, int repeat, const QString& machine);
// Each target judged for every size (or pair of sizes) it applies to.
Verdicts judgeTargets(const QList<SizeResult>& results, const Targets& targets);

} // namespace tavik::benchmark

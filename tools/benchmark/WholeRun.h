#pragma once

#include "tools/benchmark/BaselineRun.h"
#include "tools/benchmark/Figures.h"
#include "tools/benchmark/MigrationRun.h"

#include <QList>
#include <QString>

namespace tavik::benchmark {

// The goals for the whole batch run on a hotel with odd price values.
struct WholeRunTargets {
    int ratioSize = 100000; // the ratio with --report is judged at this size
    double maxRatioWithReport = 1.2;
    double maxGrowthPerSizeStep = 1.1; // time may grow 10 % more than the size does
    int linearityFromSize = 100000; // below it a run takes a fraction of a second: noise, not growth
    double maxPeakMegabytes = 64.0; // with and without --report, at every size
};

// Whole runs of one kind, each with the baseline run right after it. Both are timed from the
// outside, from the start of the process to its end, as a script that migrates a hotel sees them.
class RunPairs {
public:
    void add(const MigrationFigures& migration, const BaselineFigures& baseline);

    double seconds() const;
    double ratio() const; // the median of each run over the baseline run right after it
    double peakMegabytes() const; // the largest of all runs
    const QList<BaselineFigures>& baselines() const { return baselines_; }

private:
    QList<MigrationFigures> migrations_;
    QList<BaselineFigures> baselines_;
};

// All runs of one size, with and without --report.
class WholeRunResult {
public:
    explicit WholeRunResult(int reservations);

    // Throws std::runtime_error when the baseline did not write the migration's lines.
    void add(bool withReport, const MigrationFigures& migration, const BaselineFigures& baseline);

    int reservations() const { return reservations_; }
    qint64 chargeLines() const { return chargeLines_; }
    qint64 skipped() const { return skipped_; } // as the reports count them; -1 without one
    const RunPairs& withReport() const { return withReport_; }
    const RunPairs& withoutReport() const { return withoutReport_; }
    double baselineSeconds() const; // the median of all baseline runs of this size
    double baselinePeakMegabytes() const;

private:
    int reservations_;
    qint64 chargeLines_ = 0;
    qint64 skipped_ = -1;
    RunPairs withReport_;
    RunPairs withoutReport_;
};

// The table as Markdown that reads well on a terminal too.
QString renderWholeRuns(
    const QList<WholeRunResult>& results, int repeat, int oddPricePercent, const QString& machine);
Verdicts judgeWholeRuns(const QList<WholeRunResult>& results, const WholeRunTargets& targets);

} // namespace tavik::benchmark

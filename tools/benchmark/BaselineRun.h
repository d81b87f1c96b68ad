#pragma once

#include "tools/benchmark/ChildProcess.h"
#include "tools/benchmark/MigrationRun.h"

namespace tavik::benchmark {

// The figures of one baseline run: its own clock from opening the file to the commit, which
// matches what the migration's report counts as task 4.
struct BaselineFigures {
    ChildOutcome process;
    double seconds = 0.0;
    qint64 reservations = 0;
    qint64 chargeLines = 0;
};

// Runs the baseline program on a fresh copy of the hotel's older file. Throws std::runtime_error
// with a German text when the copy or the run fails.
BaselineFigures runBaseline(const QString& program, const HotelFolder& hotel);

} // namespace tavik::benchmark

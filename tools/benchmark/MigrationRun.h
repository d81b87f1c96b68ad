#pragma once

#include "tools/SampleHotel.h"
#include "tools/benchmark/ChildProcess.h"

#include <QList>
#include <QPair>
#include <QString>

namespace tavik::benchmark {

// One hotel of a given size in a folder of its own: the older edition's file made once by the
// sample generator, the newer edition's file made fresh before every run, and a settings store
// that points the migration at both, so that the user's own settings are never read.
class HotelFolder {
public:
    HotelFolder(const QString& folder, const tools::SampleOptions& sample);

    int reservations() const { return reservations_; }
    const QString& olderFile() const { return olderFile_; }
    const QString& newerFile() const { return newerFile_; }
    const QString& settingsFolder() const { return settingsFolder_; }
    QString filePath(const QString& name) const;

    // An empty, not yet imported newer file, so that every run does the same work.
    void renewNewerFile() const;

private:
    void writeSettings(const QString& edition, const QString& dataPath) const;

    QString folder_;
    int reservations_;
    QString olderFile_;
    QString newerFile_;
    QString settingsFolder_;
};

// The figures of one batch migration, from the outside (time, memory) and from its report.
struct MigrationFigures {
    ChildOutcome process;
    double totalSeconds = 0.0; // as the report says; process.seconds adds the program's start and end
    QList<QPair<QString, double>> taskSeconds; // in the order the tasks ran
    double importSeconds = 0.0; // task 4
    qint64 reservations = 0;
    qint64 chargeLines = 0;
    qint64 skipped = -1; // from the report; -1 for a run without one
};

// How the migration is called: the same for every run of a benchmark but the report.
struct MigrationCall {
    QString program;
    QString vatRate;
    QString locale; // LC_ALL of the run, which sets its number format
    bool withReport = true;
};

// Runs the real batch executable on the hotel and reads its JSON report, or without --report the
// result table it prints (the task times are then not known). Throws std::runtime_error with a
// German text when the run fails or leaves no usable report or table.
MigrationFigures runMigration(const MigrationCall& call, const HotelFolder& hotel);

} // namespace tavik::benchmark

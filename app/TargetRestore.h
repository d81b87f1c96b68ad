#pragma once

#include "app/BatchConsole.h"
#include "app/StartUp.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tavik::app {

// What undoing a run over its limit did with the target it left.
struct UndoneRun {
    QString failedCopy; // the dated name the target is kept under, empty when it could not be kept
    QString restoredFrom; // the backup put back, empty when there was none or it failed
    QString description; // all of it in German, for the terminal and the report
};

// Undoes a run whose connections are all closed: the target it left is kept beside it under a dated
// name, and the backup made at its start is put back in its place (verified, synced, atomic). A run
// without a backup found no target: the target is then only moved to the dated name, so the folder
// is as it was before.
UndoneRun undoRun(const QString& Datenpfad_neu, const QString& backup, const QDateTime& now);

// --restore: puts the newer edition's file back from its backup (tavik_50.ba0, or the file given),
// under the run lock and after the checks a run makes; the file it replaces is kept under a dated
// backup name, so that a restore can be undone the same way. The older edition's file is no backup
// of it. Returns the exit status.
int restoreTarget(BatchConsole& console, const DataPaths& paths, const std::optional<QString>& from);

} // namespace tavik::app

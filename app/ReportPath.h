#pragma once

#include "app/StartUp.h"

#include <QList>
#include <QString>

#include <optional>

namespace tavik::app {

// A file that a report must never be written over, and what it is, in German.
struct GuardedFile {
    QString path;
    QString what;
};

// The files of a run: both data files (and one chosen with --source), their journals, the
// target's backups, the run log and the lock file.
QList<GuardedFile> filesOfTheRun(const DataPaths& paths, const std::optional<QString>& chosenSource);

// Why a report may not be written to reportPath, in German and naming the path; empty when it may.
// Every way of naming a file of the run counts: relative, through a symbolic link, by a hard
// link. Dated backups beside the target, any other data file and any file that is not an earlier
// report are refused too, and a folder that is not there.
QString whyReportRefused(const QString& reportPath, const DataPaths& paths, const std::optional<QString>& chosenSource);

} // namespace tavik::app

#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace tavik::reliability {

// Where SIGKILL ends a run: a time after the n-th change of the names in the watched folder (a
// step of the program's work: a backup renamed into place, a journal created or removed), or after
// the start when n is 0. Counted from a step, a point lands in the same part of the work however
// fast the machine starts the program.
struct KillPoint {
    int afterFolderChanges = 0;
    qint64 thenMicroseconds = 0;
};

// What a run did until it was killed or ended by itself.
struct KilledRun {
    bool killed = false;
    bool hung = false; // killed because it did not end in time
    int exitCode = -1; // when it ended by itself
    QStringList folderChanges; // in order, as FolderEvents describes them
    QList<qint64> changeMicroseconds; // from the start, one for each change
    qint64 microseconds = 0; // from the start to its end
};

// Runs the program and kills it at the point; a point it never reaches lets it run to its end, or
// for two minutes at most.
// Its streams are not kept: what counts is what it left in the files.
KilledRun runAndKill(const QProcessEnvironment& environment, const QStringList& arguments,
    const QString& watchedFolder, const KillPoint& point);

} // namespace tavik::reliability

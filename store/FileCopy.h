#pragma once

#include <QString>

namespace tavik::store {

// Why a copy was not made; the file it concerns and the system's error number come with it.
enum class CopyProblem {
    None,
    SourceMissing,
    SourceNotAFile,
    DestinationFolderMissing,
    DestinationNotAFile,
    DestinationExists,
    SameFile,
    UnfinishedChangeBeside, // a rollback journal or write-ahead log lies beside a data file
    LockedElsewhere,
    CannotReadSource,
    CannotCreateCopy,
    CannotWriteCopy,
    SourceChangedSize,
    CannotSetPermissions,
    CannotSyncCopy,
    CannotMoveIntoPlace,
    OutOfMemory,
};

class CopyResult {
public:
    CopyResult() = default; // the copy was made
    CopyResult(CopyProblem problem, QString path, int systemError = 0)
        : problem_(problem), path_(std::move(path)), systemError_(systemError) { }

    explicit operator bool() const { return problem_ == CopyProblem::None; }
    CopyProblem problem() const { return problem_; }
    const QString& path() const { return path_; }
    int systemError() const { return systemError_; } // 0 where the system gave none
    // One German sentence naming the file and the cause; empty when the copy was made.
    QString germanCause() const;

private:
    CopyProblem problem_ = CopyProblem::None;
    QString path_;
    int systemError_ = 0;
};

// Copies a whole data file. The copy is written to a temporary file created exclusively in the
// destination's folder and renamed over the destination, so a failed copy (missing source or
// folder, full disk, a file in use) leaves the destination exactly as it was and no temporary
// file behind; one that a copy cut off by a crash left there is removed by the next copy to the same
// destination. A data file counts as in use when another process holds SQLite's lock on it or a
// rollback journal or write-ahead log lies beside it. The source is only ever opened for reading.
// With alwaysOverwrite false an existing destination makes the copy fail. It never throws.
CopyResult fileCopy(const QString& sourceFile, const QString& destFile, bool alwaysOverwrite = false);

} // namespace tavik::store

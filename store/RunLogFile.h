#pragma once

#include "store/FileReplace.h"
#include "store/RunLog.h"

#include <QString>
#include <QStringList>

#include <string>

namespace tavik::store {

// The run log on the disk: the notes known at the start (the backups), one line per skipped
// operation as it comes, then the number of them and the notes added later (how the run ended).
// Written where it ends from the start, it is named only when complete. It lists guests' names and
// values from the data files: for its owner's eyes only.
class RunLogFile : public SkippedSink {
public:
    RunLogFile(const QString& path, const QStringList& openingNotes);

    void add(const SkippedOperation& operation) override;
    // Takes every note of the run and writes those not written at the start. False when any byte
    // could not be written; operations reported afterwards are not written.
    bool finish(const QStringList& notes);
    // Why it could not be written: the system's error number, 0 when none is known.
    int failureCause() const { return file_.failureCause(); }

private:
    OwnerOnlyFile file_;
    qsizetype openingNotes_ = 0;
    qsizetype count_ = 0;
    bool finished_ = false;
};

} // namespace tavik::store

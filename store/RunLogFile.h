#pragma once

#include "store/RunLog.h"
#include "store/ScratchFile.h"

#include <QString>
#include <QStringList>

namespace tavik::store {

// The run log on the disk: the notes, the number of skipped operations, then one line each. The
// count comes first but is known last, so the lines wait in a scratch file beside the log until
// finish(); the log itself is named only when complete. It lists guests' names and values from
// the data files: for its owner's eyes only.
class RunLogFile : public SkippedSink {
public:
    explicit RunLogFile(const QString& path);

    void add(const SkippedOperation& operation) override;
    // False when any byte could not be written; operations reported afterwards are not written.
    bool finish(const QStringList& notes);

private:
    QString path_;
    ScratchFile lines_;
    qsizetype count_ = 0;
    bool finished_ = false;
};

} // namespace tavik::store

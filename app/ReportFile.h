#pragma once

#include "app/BatchReport.h"
#include "store/FileReplace.h"
#include "store/RunLog.h"

#include <QString>

#include <optional>
#include <string>

namespace tavik::app {

// The batch run's report as one JSON document, written where it ends as the run goes and named
// only when it is complete. The skipped operations, which can be hundreds of thousands, are written
// as they come, so the fields known at the start stand before them and the others after them. It
// lists guests' names and values from the data files: for its owner's eyes only.
class ReportFile : public store::SkippedSink {
public:
    explicit ReportFile(const QString& path);

    // Opens the report and writes the fields a run knows before its first skipped operation.
    void start(const BatchReport& known);
    // Only after start(): the fields before the list are written by then.
    void add(const store::SkippedOperation& operation) override;
    // Starts the report first where the run ended before start(). False when any byte could not be
    // written; operations reported afterwards are not written.
    bool finish(const BatchReport& report);
    // Why it could not be written: the system's error number, 0 when none is known.
    int failureCause() const { return file_ ? file_->failureCause() : 0; }

private:
    QString path_;
    std::optional<store::OwnerOnlyFile> file_;
    std::string entry_; // the entry being written, kept for its capacity
    qsizetype count_ = 0;
    bool finished_ = false;
};

} // namespace tavik::app

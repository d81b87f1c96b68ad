#pragma once

#include "app/BatchReport.h"
#include "store/RunLog.h"
#include "store/ScratchFile.h"

#include <QString>

#include <string>

namespace tavik::app {

// The batch run's report as one JSON document. The skipped operations, which can be hundreds of
// thousands, are written as they come into a scratch file beside the report; finish() puts them
// between the fields known only at the end and names the report only when it is complete. It lists
// guests' names and values from the data files: for its owner's eyes only.
class ReportFile : public store::SkippedSink {
public:
    explicit ReportFile(const QString& path);

    void add(const store::SkippedOperation& operation) override;
    // False when any byte could not be written; operations reported afterwards are not written.
    bool finish(const BatchReport& report);

private:
    QString path_;
    store::ScratchFile entries_;
    std::string entry_; // the entry being written, kept for its capacity
    qsizetype count_ = 0;
    bool finished_ = false;
};

} // namespace tavik::app

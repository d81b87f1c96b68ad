#pragma once

#include "app/StartUp.h"
#include "store/RunLog.h"
#include "store/RunTask.h"

#include <QJsonObject>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace tavik::app {

// What one task of a batch run did.
struct TaskRecord {
    store::RunTask task;
    QString result;        // one German line for the summary
    QJsonObject counts;    // the same as numbers, for scripts
    int skipped = 0;
    double seconds = 0;
};

// What --max-skipped decided; only present when it was given.
struct SkipLimitRecord {
    QString limit;                // as given, "50" or "2%"
    double allowed = 0;           // the number that was allowed, a share worked out
    qint64 skipped = 0;           // every task's skipped operations together
    bool exceeded = false;
    QString failedCopy;           // where the target the run left is kept, empty when it is not
    QString restoredFrom;         // the backup the target was put back from, empty when none
};

// Everything a batch run reports: on the terminal as a table, in the report file (ReportFile) as JSON.
struct BatchReport {
    DataPaths paths;
    QString backup;               // the start-up backup made, empty when none
    QString keptBackup;           // an earlier backup kept under a dated name, empty when none
    QList<TaskRecord> tasks;
    double totalSeconds = 0;
    int exitStatus = 0;
    QString message;              // the last German text shown (success or error)
    QString cause;                // why the run stopped, where the message does not say it
    bool check = false;           // a run on temporary copies: nothing was changed
    std::optional<SkipLimitRecord> skipLimit;
};

// The first line of a check's summary.
QString nothingChangedLine();

QString summaryTable(const BatchReport& report, const store::RunLog& log, const QLocale& numberFormat);

} // namespace tavik::app

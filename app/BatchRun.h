#pragma once

#include "app/BatchConsole.h"
#include "app/BatchReport.h"
#include "app/CheckFolder.h"
#include "app/CommandLine.h"
#include "app/OlderFileCheck.h"
#include "app/ReportFile.h"
#include "app/StartUp.h"
#include "app/TargetGuard.h"
#include "store/BackgroundSink.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/FileCopy.h"
#include "store/RunLog.h"
#include "store/RunLogFile.h"

#include <QElapsedTimer>

#include <optional>

namespace tavik::app {

// The whole migration from the command line, in the window's order and without its pauses, on
// the same task functions the window runs. run() returns the exit status.
class BatchRun {
public:
    enum ExitStatus {
        Success = 0,
        CopyFailed = 1,
        BadInput = 2,
        EngineFailure = 3,
        NoReservations = 4,
        AlreadyImported = 5,
        TooManySkipped = 6,
    };

    BatchRun(BatchOptions options, BatchConsole& console, SettingsReader settings, QString sharedDocumentsFolder);

    int run();

private:
    // Every engine handle of the run; dropped as a whole to close every connection to the target.
    struct EngineSession {
        explicit EngineSession(const QLocale& numberFormat)
            : engine(numberFormat)
            , controls(engine)
        {
        }
        store::Engine engine;
        store::DataControls controls;
    };

    // The refusal when there is no answer to take, in German.
    std::optional<QString> takeVatAnswer();
    // The start-up checks and the backup; the exit status when the run must not go on.
    std::optional<int> checkBeforeChanging();
    std::optional<int> copyForCheck();
    void takeChosenSource();
    std::optional<int> refuseUnreadableOlderFile();
    // From the check begun before the backup where it examined this file, else examined now.
    OlderFileFindings olderFileFindings();
    QStringList reservationFields() const;
    store::CopyResult copyAndBind();
    void prepareTarget();
    // The reservations walked; -1 when the walk could not begin.
    qint64 importReservations();
    void finish();
    // Whether --max-skipped lets the run be kept; records what it decided.
    bool withinSkipLimit(qint64 reservationsWalked);
    int undoOverLimit();
    int undoDamagedRun();
    // Puts the target back from this run's backup and keeps the failed copy beside it.
    int putBackAndStop(int status, const QString& message, SkipLimitRecord* limit);
    int succeed();
    // The report gets the skipped operations from here on; a check's under the real files' names.
    void startReporting();
    QString summary() const;
    // The task being run is always the last record; it is finished before the next one begins.
    void beginTask(store::RunTask task);
    TaskRecord& currentTask() { return report_.tasks.last(); }
    // What the current task skipped and how long it ran, however it ends.
    void countCurrentTask();
    void endTask(const QString& result);
    int stop(int status, const QString& message, const QString& cause = QString());
    int report(int status);

    BatchOptions options_;
    BatchConsole& console_;
    SettingsReader settings_;
    QString sharedDocumentsFolder_;
    // Declared before the engine handles, so that the copies go only after every connection to them.
    std::optional<CheckFolder> checkFolder_;
    // The files the chain works on: the real ones, or a check's copies.
    DataPaths work_;
    std::optional<EngineSession> session_;
    // Declared after the engine it uses: its thread has ended before the engine goes.
    std::optional<OlderFileCheck> olderFileCheck_;
    store::RunLog log_;
    // Declared after the log, which hands it every skipped operation.
    std::optional<ReportFile> reportFile_;
    std::optional<store::RunLogFile> logFile_; // not for a check
    bool checkNotRun_ = false; // a check that found no room to run at all
    bool targetReplaced_ = false; // the real target is the copy now
    bool putBack_ = false; // the run was undone: the target is back from its backup, or says why not
    std::optional<CheckFolder::RealNames> reportInRealNames_;
    // Declared after the sinks it writes to: it stops using them before they go.
    std::optional<store::BackgroundSink> skippedWriter_;
    TargetGuard guard_;
    BatchReport report_;
    QString vatAnswer_;
    QElapsedTimer runClock_;
    QElapsedTimer taskClock_;
    qsizetype skippedBeforeTask_ = 0;
    bool taskOpen_ = false; // begun and not ended: a stop cuts it off
};

} // namespace tavik::app

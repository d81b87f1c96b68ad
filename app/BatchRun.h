#pragma once

#include "app/BatchConsole.h"
#include "app/BatchReport.h"
#include "app/CommandLine.h"
#include "app/ReportFile.h"
#include "app/StartUp.h"
#include "app/TargetGuard.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/FileCopy.h"
#include "store/RunLog.h"

#include <QElapsedTimer>

#include <optional>

namespace tavik::app {

// The whole migration from the command line, in the window's order and without its pauses, on
// the same task functions the window runs. run() returns the exit status.
class BatchRun {
public:
    enum ExitStatus { Success = 0, CopyFailed = 1, BadInput = 2, EngineFailure = 3, NoReservations = 4, AlreadyImported = 5 };

    BatchRun(BatchOptions options, BatchConsole& console, SettingsReader settings, QString sharedDocumentsFolder);

    int run();

private:
    // The refusal when there is no answer to take, in German.
    std::optional<QString> takeVatAnswer();
    bool checkBeforeChanging();
    store::CopyResult copyAndBind();
    bool prepareTarget();
    bool importReservations();
    bool finish();
    // The task being run is always the last record; it is finished before the next one begins.
    void beginTask(const QString& name);
    TaskRecord& currentTask() { return report_.tasks.last(); }
    void endTask(const QString& result);
    int stop(int status, const QString& message, const QString& cause = QString());
    int report(int status);

    BatchOptions options_;
    BatchConsole& console_;
    SettingsReader settings_;
    QString sharedDocumentsFolder_;
    store::Engine engine_;
    store::DataControls controls_;
    store::RunLog log_;
    // Declared after the log, which hands it every skipped operation.
    std::optional<ReportFile> reportFile_;
    TargetGuard guard_;
    BatchReport report_;
    QString vatAnswer_;
    QElapsedTimer runClock_;
    QElapsedTimer taskClock_;
    qsizetype skippedBeforeTask_ = 0;
};

} // namespace tavik::app

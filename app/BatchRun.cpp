#include "app/BatchRun.h"

#include "app/AppTexts.h"
#include "app/OlderFileCheck.h"
#include "app/ReportPath.h"
#include "app/ShellTasks.h"
#include "app/SourceSelection.h"
#include "app/StopRequest.h"
#include "app/TargetRestore.h"
#include "app/UserSettings.h"
#include "import/ChargeLines.h"
#include "import/ImportRun.h"
#include "import/ImportTexts.h"
#include "prepare/FoodAndDrinkVat.h"
#include "prepare/SchemaExtension.h"
#include "store/EngineError.h"
#include "store/FileCopy.h"
#include "store/FileReplace.h"
#include "store/StoreTexts.h"
#include "store/SystemErrorText.h"
#include "store/TargetAccess.h"

#include <QFileInfo>

namespace tavik::app {

namespace {

// The walk's progress, which is also where a stop request is honoured between two reservations.
class StoppableProgress : public import::ImportProgress {
public:
    explicit StoppableProgress(import::ImportProgress& shown)
        : shown_(shown)
    {
    }
    void begin(qint32 total) override { shown_.begin(total); }
    void reservationDone(qint64 done, qint32 total) override
    {
        StopRequest::honour();
        shown_.reservationDone(done, total);
    }

private:
    import::ImportProgress& shown_;
};

QString engineMessage(const std::exception& error)
{
    const auto* engineError = dynamic_cast<const store::EngineError*>(&error);
    return engineError ? store::germanMessage(*engineError) : QString::fromLocal8Bit(error.what());
}
} // namespace

BatchRun::BatchRun(BatchOptions options, BatchConsole& console, SettingsReader settings, QString sharedDocumentsFolder)
    : options_(std::move(options))
    , console_(console)
    , settings_(std::move(settings))
    , sharedDocumentsFolder_(std::move(sharedDocumentsFolder))
{
    session_.emplace(console_.numberFormat());
}

int BatchRun::run()
{
    runClock_.start();
    report_.paths = readDataPaths(settings_, sharedDocumentsFolder_);
    // A value stored empty is not "none stored": no default stands in for it.
    for (const auto& [path, edition] : { std::pair { report_.paths.Datenpfad_alt, editionSettings::olderEdition },
             std::pair { report_.paths.Datenpfad_neu, editionSettings::newerEdition } }) {
        if (path.trimmed().isEmpty()) {
            console_.error(texts::emptyDataPath.arg(edition));
            return BadInput;
        }
    }
    if (options_.restore)
        return restoreTarget(console_, report_.paths, options_.restoreFrom);
    report_.check = options_.check;
    // Refused before anything is written, the report included: it would replace that file.
    if (options_.report) {
        if (const QString why = whyReportRefused(*options_.report, report_.paths, options_.source); !why.isEmpty()) {
            console_.error(why);
            return BadInput;
        }
        reportFile_.emplace(*options_.report);
    }
    if (const std::optional<QString> refusal = takeVatAnswer())
        return stop(BadInput, *refusal);
    // Not earlier: Ctrl+C at the VAT question, or during --restore, still ends the program at once.
    // From here on a stop is only noted, so that the backup and a check's copies of the guests'
    // data are finished and then cleaned up, and the stop is said.
    const StopRequest stopRequest;
    if (const std::optional<int> stopped = checkBeforeChanging())
        return *stopped;
    startReporting();
    try {
        StopRequest::honour();
        takeChosenSource();
        if (const std::optional<int> stopped = refuseUnreadableOlderFile())
            return *stopped;
        if (const store::CopyResult copy = copyAndBind(); !copy)
            return stop(CopyFailed, copyFailedMessage(), copy.germanCause());
        prepareTarget();
        const qint64 walked = importReservations();
        if (walked < 0)
            return stop(NoReservations, report_.message);
        if (log_.damagedFileCount() > 0)
            return undoDamagedRun();
        if (!withinSkipLimit(walked))
            return undoOverLimit();
        finish();
    } catch (const Interrupted& stopped) {
        // A check stopped halfway cannot say how a real run would end.
        checkNotRun_ = options_.check;
        return stop(stopped.exitStatus(), texts::runInterrupted.arg(stopped.signalName()));
    } catch (const std::exception& error) {
        return stop(EngineFailure, engineMessage(error));
    }
    return succeed();
}

std::optional<int> BatchRun::checkBeforeChanging()
{
    if (options_.source && !sourceSelection::isAcceptedName(*options_.source))
        return stop(BadInput, sourceSelection::refusalMessage(*options_.source));
    // Its record sources would each log the same failure, and the copy would fail after the backup.
    if (options_.source && !QFileInfo(*options_.source).isFile())
        return stop(BadInput,
            (QFileInfo::exists(*options_.source) ? texts::chosenSourceNoFile : texts::chosenSourceMissing)
                .arg(*options_.source));
    // The copy would find it only after the backup and the log were made beside the older file, and
    // a check, which works on copies of both, would not find it at all.
    const QString source = options_.source.value_or(report_.paths.Datenpfad_alt);
    if (store::isSameFile(source, report_.paths.Datenpfad_neu))
        return stop(CopyFailed, copyFailedMessage(),
            store::CopyResult(store::CopyProblem::SameFile, report_.paths.Datenpfad_neu).germanCause());
    work_ = report_.paths;
    if (options_.check) {
        if (const std::optional<int> stopped = copyForCheck())
            return stopped;
    }
    guard_ = TargetGuard::lock(work_.Datenpfad_neu);
    if (guard_.refusal() == TargetGuard::Refusal::InUseByAnotherRun)
        return stop(CopyFailed, guard_.cause());
    if (!options_.force && isMarkedImported(work_.Datenpfad_neu))
        return stop(AlreadyImported, texts::alreadyImported.arg(report_.paths.Datenpfad_neu));
    // Reads the older file while the backup waits for the disk; a check and a chosen source copy
    // other files first.
    if (!options_.check && !options_.source)
        olderFileCheck_.emplace(session_->engine, work_.Datenpfad_alt, reservationFields());
    guard_.prepare(QDateTime::currentDateTime());
    // A check's backup lies among its copies and goes with them.
    if (!options_.check) {
        report_.backup = guard_.backup().backup;
        report_.keptBackup = guard_.backup().keptEarlierBackup;
    }
    if (!guard_.allowsRun())
        return stop(CopyFailed, copyFailedMessage(), guard_.cause());
    if (checkFolder_) {
        if (const std::optional<CheckStop> predicted = checkFolder_->whyRealRunWouldStop())
            return stop(predicted->exitStatus, predicted->message, predicted->cause);
    }
    return std::nullopt;
}

std::optional<int> BatchRun::copyForCheck()
{
    checkFolder_.emplace();
    if (const std::optional<CheckStop> stopped = checkFolder_->copy(report_.paths, options_.source)) {
        checkNotRun_ = stopped->checkNotRun;
        return stop(stopped->exitStatus, stopped->message, stopped->cause);
    }
    work_ = checkFolder_->paths();
    return std::nullopt;
}

void BatchRun::takeChosenSource()
{
    if (!options_.source)
        return;
    beginTask(store::RunTask::SelectSource);
    // A check removes the password of its copy only; the chosen file itself is only read.
    const QString chosen = checkFolder_ ? checkFolder_->chosenSource() : *options_.source;
    const bool unprotected = sourceSelection::accept(chosen, session_->engine, session_->controls, work_, log_);
    report_.paths.Datenpfad_alt = checkFolder_ ? *options_.source : work_.Datenpfad_alt;
    const QString passwordNote
        = !unprotected ? QString() : (checkFolder_ ? texts::sourcePasswordWouldGo : texts::sourcePasswordRemoved);
    endTask(texts::sourceTaken.arg(report_.paths.Datenpfad_alt) + passwordNote);
}

// The copy goes over the target, so an older file the engine cannot read as a data file (damaged,
// protected with an unknown password, no data file at all) would leave a target nothing can open.
// An empty file or another program's database opens all the same; without reservations it is no
// data file of the older edition either.
std::optional<int> BatchRun::refuseUnreadableOlderFile()
{
    // The real path, not a check's short copy of it, so that a check predicts this refusal too.
    if (const QString tooLong = store::whyPathTooLongToOpen(report_.paths.Datenpfad_alt); !tooLong.isEmpty())
        return stop(EngineFailure, tooLong + QLatin1Char(' ') + texts::olderFileNotCopied);
    const OlderFileFindings found = olderFileFindings();
    const QString& older = report_.paths.Datenpfad_alt;
    QString why;
    using Verdict = OlderFileFindings::Verdict;
    switch (found.verdict) {
    case Verdict::Usable:
        return std::nullopt;
    case Verdict::WithoutReservations:
        why = texts::olderFileWithoutReservations.arg(older);
        break;
    case Verdict::WithoutRowNumbers:
        why = texts::olderFileWithoutRowNumbers.arg(older);
        break;
    case Verdict::Damaged:
        why = texts::olderFileDamaged.arg(older);
        break;
    case Verdict::Unreadable:
        why = found.engineMessage;
        break;
    }
    return stop(EngineFailure, why + QLatin1Char(' ') + texts::olderFileNotCopied);
}

OlderFileFindings BatchRun::olderFileFindings()
{
    if (olderFileCheck_ && olderFileCheck_->path() == work_.Datenpfad_alt) {
        const OlderFileFindings found = olderFileCheck_->findings();
        olderFileCheck_.reset();
        return found;
    }
    olderFileCheck_.reset();
    return examineOlderFile(session_->engine, work_.Datenpfad_alt, reservationFields());
}

QStringList BatchRun::reservationFields() const
{
    return import::reservationFieldsRead(session_->controls.reservationFields);
}

void BatchRun::startReporting()
{
    std::vector<store::SkippedSink*> sinks;
    if (!checkFolder_) {
        noteBackups(guard_.backup(), log_);
        logFile_.emplace(logPathFor(report_.paths.Datenpfad_neu), log_.notes());
        sinks.push_back(&*logFile_);
    }
    if (reportFile_) {
        reportFile_->start(report_);
        if (checkFolder_)
            sinks.push_back(&reportInRealNames_.emplace(*checkFolder_, *reportFile_));
        else
            sinks.push_back(&*reportFile_);
    }
    if (!sinks.empty())
        log_.addSink(skippedWriter_.emplace(std::move(sinks)));
}

QString BatchRun::summary() const
{
    const QString table = summaryTable(report_, log_, console_.numberFormat());
    return checkFolder_ ? checkFolder_->inRealNames(table) : table;
}

int BatchRun::succeed()
{
    if (!options_.check)
        console_.result(texts::runSucceeded);
    report_.message = texts::runSucceeded;
    const int status = report(Success);
    if (options_.check)
        console_.result(nothingChangedLine() + QLatin1Char('\n') + texts::wouldSucceed);
    console_.result(summary());
    return status;
}

std::optional<QString> BatchRun::takeVatAnswer()
{
    if (options_.vat) {
        vatAnswer_ = *options_.vat;
        return vatAnswer_.isEmpty() ? std::optional(texts::emptyVat) : std::nullopt;
    }
    if (!console_.canAsk())
        return texts::vatNeeded;
    const std::optional<QString> answer = console_.askFoodAndDrinkVat();
    if (!answer)
        return texts::vatNotAnswered;
    vatAnswer_ = *answer;
    return std::nullopt;
}

void BatchRun::beginTask(store::RunTask task)
{
    StopRequest::honour();
    console_.taskStarted(store::texts::taskName(task));
    report_.tasks.append(TaskRecord { task, texts::taskCutOff, {}, 0, 0 });
    skippedBeforeTask_ = log_.skippedTotal();
    taskClock_.start();
    taskOpen_ = true;
}

void BatchRun::countCurrentTask()
{
    TaskRecord& task = currentTask();
    task.skipped = int(log_.skippedTotal() - skippedBeforeTask_);
    task.seconds = taskClock_.elapsed() / 1000.0;
    taskOpen_ = false;
}

void BatchRun::endTask(const QString& result)
{
    countCurrentTask();
    currentTask().result = result;
    console_.taskFinished(currentTask().seconds);
}

store::CopyResult BatchRun::copyAndBind()
{
    beginTask(store::RunTask::Copy);
    if (store::CopyResult copy = copyDataFile(work_); !copy)
        return copy;
    targetReplaced_ = !options_.check;
    const qint64 size = QFileInfo(work_.Datenpfad_neu).size();
    currentTask().counts.insert(QStringLiteral("bytes"), double(size));
    endTask(texts::fileCopied.arg(console_.numberFormat().formattedDataSize(size)));

    beginTask(store::RunTask::Bind);
    bindTargetRecordSources(session_->controls, work_.Datenpfad_neu);
    endTask(texts::sourcesBound);
    return {};
}

void BatchRun::prepareTarget()
{
    beginTask(store::RunTask::FoodAndDrinkVat);
    prepare::bindArticles(session_->controls, work_.Datenpfad_neu);
    const int articles = prepare::applyFoodAndDrinkVat(session_->controls, vatAnswer_, log_);
    currentTask().counts = QJsonObject{{QStringLiteral("articlesGivenRate"), articles}, {QStringLiteral("rate"), vatAnswer_}};
    endTask(texts::articlesGivenRate.arg(articles).arg(vatAnswer_));

    beginTask(store::RunTask::Fields);
    const prepare::SchemaExtension added = prepare::extendSchema(session_->engine, work_.Datenpfad_neu, log_);
    currentTask().counts = QJsonObject{{QStringLiteral("Einstellungen"), added.addedToEinstellungen},
                                {QStringLiteral("Tabelle1"), added.addedToTabelle1},
                                {QStringLiteral("Tabelle2"), added.addedToTabelle2}};
    endTask(texts::fieldsAdded.arg(added.total())
                .arg(added.addedToEinstellungen)
                .arg(added.addedToTabelle1)
                .arg(added.addedToTabelle2));
}

qint64 BatchRun::importReservations()
{
    beginTask(store::RunTask::Import);
    StoppableProgress progress(console_);
    const import::ImportResult result = import::runImport(
        session_->controls, work_.Datenpfad_neu, work_.Datenpfad_alt, progress, log_, console_.numberFormat());
    currentTask().counts = QJsonObject{{QStringLiteral("reservations"), double(result.reservationsWalked)},
                              {QStringLiteral("chargeLines"), double(result.chargeLinesWritten)}};
    if (!result.walkBegan)
        endTask(texts::importNotBegun);
    else if (!result.stored)
        endTask(texts::importNotStored.arg(result.reservationsWalked));
    else
        endTask(texts::reservationsImported.arg(result.reservationsWalked).arg(result.chargeLinesWritten));
    if (!result.walkBegan)
        report_.message = result.errorText;
    if (!result.stored)
        throw std::runtime_error(result.errorText.toStdString());
    return result.walkBegan ? qint64(result.reservationsWalked) : -1;
}

void BatchRun::finish()
{
    beginTask(store::RunTask::Finish);
    markImported(session_->controls, work_.Datenpfad_neu);
    endTask(texts::markedImported);
}

bool BatchRun::withinSkipLimit(qint64 reservationsWalked)
{
    if (!options_.maxSkipped)
        return true;
    SkipLimitRecord& record = report_.skipLimit.emplace();
    record.limit = options_.maxSkipped->text();
    record.allowed = options_.maxSkipped->allowed(reservationsWalked);
    record.skipped = log_.skippedTotal();
    record.exceeded = options_.maxSkipped->exceededBy(record.skipped, reservationsWalked);
    return !record.exceeded;
}

int BatchRun::undoOverLimit()
{
    SkipLimitRecord& record = *report_.skipLimit;
    const QString overLimit = texts::tooManySkipped.arg(record.skipped)
                                  .arg(SkipLimit::allowedText(record.allowed, console_.numberFormat()), record.limit);
    return putBackAndStop(TooManySkipped, overLimit, &record);
}

// The copy holds the older file byte for byte, so what SQLite found damaged in it came from there
// (or from the disk); a run over it would hand the newer edition a damaged file as a success.
int BatchRun::undoDamagedRun()
{
    return putBackAndStop(
        EngineFailure, texts::damagedCopy.arg(report_.paths.Datenpfad_alt).arg(log_.damagedFileCount()), nullptr);
}

int BatchRun::putBackAndStop(int status, const QString& message, SkipLimitRecord* limit)
{
    if (options_.check)
        return stop(status, message + QLatin1Char(' ') + texts::wouldBeUndone);
    // Every connection to the target closed before its file is moved or replaced.
    session_.reset();
    const UndoneRun undone = undoRun(work_.Datenpfad_neu, report_.backup, QDateTime::currentDateTime());
    // Where the target stands now, put back or not, is said in the undo's own words.
    putBack_ = true;
    if (limit) {
        limit->failedCopy = undone.failedCopy;
        limit->restoredFrom = undone.restoredFrom;
    }
    QString cause = undone.description;
    // After a run that was cut off, this run's backup is that run's copy; the file from before it
    // is in the earlier backup kept at the start, which this run cannot tell from any other.
    if (!report_.keptBackup.isEmpty())
        cause += QLatin1Char(' ') + texts::earlierBackupKept.arg(report_.keptBackup);
    return stop(status, message, cause);
}

int BatchRun::stop(int status, const QString& message, const QString& cause)
{
    olderFileCheck_.reset();
    if (console_.showsProgress())
        console_.error(QString());
    report_.totalSeconds = runClock_.elapsed() / 1000.0;
    // The report's task then agrees with the skipped operations it lists.
    if (taskOpen_)
        countCurrentTask();
    // A check says what it did not change before it says how a real run would end.
    if (options_.check)
        console_.result(nothingChangedLine() + QLatin1Char('\n')
            + (checkNotRun_ ? texts::checkNotRun : texts::wouldStop.arg(status)));
    // What the tasks did matters most where they all ran and were undone.
    if ((options_.check && !report_.tasks.isEmpty()) || putBack_)
        console_.result(summary());
    const QString said = checkFolder_ ? checkFolder_->inRealNames(message) : message;
    const QString why = checkFolder_ ? checkFolder_->inRealNames(cause) : cause;
    console_.error(said);
    if (!why.isEmpty())
        console_.error(why);
    report_.message = said;
    report_.cause = why;
    // The log stays beside the target, so it must tell a later reader that this run failed.
    log_.note(texts::runStopped.arg(status).arg(why.isEmpty() ? said : said + QLatin1Char(' ') + why));
    // A run stopped after the copy leaves a half-migrated target: the way back is said where it is read.
    if (targetReplaced_ && !putBack_ && !report_.backup.isEmpty()) {
        console_.error(texts::targetReplacedBackup.arg(report_.backup));
        log_.note(texts::targetReplacedBackup.arg(report_.backup));
    }
    return report(status);
}

int BatchRun::report(int status)
{
    report_.exitStatus = status;
    report_.totalSeconds = runClock_.elapsed() / 1000.0;
    if (skippedWriter_)
        skippedWriter_->finish();
    // A full disk or a lost folder is said, so that no one looks for a file that is not there.
    const auto because = [](int cause) {
        return cause == 0 ? QString() : texts::writeFailureCause.arg(store::germanSystemError(cause));
    };
    if (reportFile_ && !reportFile_->finish(report_))
        console_.error(texts::reportNotWritten.arg(*options_.report, because(reportFile_->failureCause())));
    if (logFile_ && !logFile_->finish(log_.notes()))
        console_.error(
            texts::logNotWritten.arg(logPathFor(report_.paths.Datenpfad_neu), because(logFile_->failureCause())));
    return status;
}

} // namespace tavik::app

#include "app/BatchRun.h"

#include "app/ReportPath.h"
#include "app/ShellTasks.h"
#include "app/SourceSelection.h"
#include "import/ImportRun.h"
#include "prepare/FoodAndDrinkVat.h"
#include "prepare/SchemaExtension.h"

#include <QFileInfo>

namespace tavik::app {

namespace {
const QString emptyVat = QStringLiteral("Falscher Wert: Die MwSt. für Speisen und Getränke (--vat) darf nicht leer sein.");
const QString vatNeeded = QStringLiteral(
    "Die MwSt. für Speisen und Getränke fehlt: Ohne Terminal kann nicht danach gefragt werden, bitte mit --vat angeben. "
    "Es wurde nichts geändert.");
const QString vatNotAnswered = QStringLiteral(
    "Die Frage nach der MwSt. für Speisen und Getränke wurde nicht beantwortet. Es wurde nichts geändert.");
const QString copyFailed = QStringLiteral("Datendatei ist geöffnet");
const QString success = QStringLiteral("Sie können jetzt Tavik 5.0 starten");
const QString alreadyImported = QStringLiteral(
    "Die Tavik 5.0 Datendatei \"%1\" ist bereits importiert und wird nicht ersetzt. Mit --force wird sie trotzdem ersetzt.");
const QString reportNotWritten = QStringLiteral("Der Bericht \"%1\" konnte nicht geschrieben werden.");
const QString taskSelect = QStringLiteral("Tavik 2.0 Datendatei öffnen");
const QString taskCopy = QStringLiteral("1. Datenbank kopieren");
const QString taskBind = QStringLiteral("2. Datenpfad ändern");
const QString taskVat = QStringLiteral("MwSt. für Speisen und Getränke");
const QString taskFields = QStringLiteral("3. Datenfelder zufügen");
const QString taskImport = QStringLiteral("4. Daten importieren");
const QString taskFinish = QStringLiteral("Abschluss");
// The width of the window's progress track, Shape1, in twips: the import's fill is computed in it.
constexpr double progressTrackWidth = 8595;

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
    , engine_(console.numberFormat())
    , controls_(engine_)
{
}

int BatchRun::run()
{
    runClock_.start();
    report_.paths = readDataPaths(settings_, sharedDocumentsFolder_);
    // Refused before anything is written, the report included: it would replace that file.
    if (options_.report) {
        if (const QString why = whyReportRefused(*options_.report, report_.paths, options_.source); !why.isEmpty()) {
            console_.error(why);
            return BadInput;
        }
        reportFile_.emplace(*options_.report);
        log_.addSink(*reportFile_);
    }
    if (const std::optional<QString> refusal = takeVatAnswer())
        return stop(BadInput, *refusal);
    if (options_.source && !sourceSelection::isAcceptedName(*options_.source))
        return stop(BadInput, sourceSelection::refusalMessage(*options_.source));
    guard_ = TargetGuard::lock(report_.paths.Datenpfad_neu);
    if (guard_.refusal() == TargetGuard::Refusal::InUseByAnotherRun)
        return stop(CopyFailed, guard_.cause());
    if (!options_.force && isMarkedImported(report_.paths.Datenpfad_neu))
        return stop(AlreadyImported, alreadyImported.arg(report_.paths.Datenpfad_neu));
    guard_.prepare(QDateTime::currentDateTime());
    report_.backup = guard_.backup().backup;
    report_.keptBackup = guard_.backup().keptEarlierBackup;
    if (!guard_.allowsRun())
        return stop(CopyFailed, copyFailed, guard_.cause());
    if (options_.source) {
        beginTask(taskSelect);
        sourceSelection::accept(*options_.source, engine_, controls_, report_.paths, log_);
        endTask(QStringLiteral("Quelle: %1").arg(report_.paths.Datenpfad_alt));
    }
    try {
        if (const store::CopyResult copy = copyAndBind(); !copy)
            return stop(CopyFailed, copyFailed, copy.germanCause());
        prepareTarget();
        if (!importReservations())
            return stop(NoReservations, report_.message);
        finish();
    } catch (const std::exception& error) {
        return stop(EngineFailure, engineMessage(error));
    }
    console_.result(success);
    report_.message = success;
    const int status = report(Success);
    console_.result(summaryTable(report_, log_, console_.numberFormat()));
    return status;
}

std::optional<QString> BatchRun::takeVatAnswer()
{
    if (options_.vat) {
        vatAnswer_ = *options_.vat;
        return vatAnswer_.isEmpty() ? std::optional(emptyVat) : std::nullopt;
    }
    if (!console_.canAsk())
        return vatNeeded;
    const std::optional<QString> answer = console_.askFoodAndDrinkVat();
    if (!answer)
        return vatNotAnswered;
    vatAnswer_ = *answer;
    return std::nullopt;
}

void BatchRun::beginTask(const QString& name)
{
    console_.taskStarted(name);
    report_.tasks.append(TaskRecord{name, QStringLiteral("abgebrochen"), {}, 0, 0});
    skippedBeforeTask_ = log_.skippedTotal();
    taskClock_.start();
}

void BatchRun::endTask(const QString& result)
{
    TaskRecord& task = currentTask();
    task.result = result;
    task.skipped = int(log_.skippedTotal() - skippedBeforeTask_);
    task.seconds = taskClock_.elapsed() / 1000.0;
    console_.taskFinished(task.seconds);
}

store::CopyResult BatchRun::copyAndBind()
{
    beginTask(taskCopy);
    if (store::CopyResult copy = copyDataFile(report_.paths); !copy)
        return copy;
    const qint64 size = QFileInfo(report_.paths.Datenpfad_neu).size();
    currentTask().counts.insert(QStringLiteral("bytes"), double(size));
    endTask(QStringLiteral("Datei kopiert (%1)").arg(console_.numberFormat().formattedDataSize(size)));

    beginTask(taskBind);
    bindTargetRecordSources(controls_, report_.paths.Datenpfad_neu);
    endTask(QStringLiteral("Reservierungen und Verzehr der Kopie geöffnet"));
    return {};
}

bool BatchRun::prepareTarget()
{
    beginTask(taskVat);
    prepare::bindArticles(controls_, report_.paths.Datenpfad_neu);
    const int articles = prepare::applyFoodAndDrinkVat(controls_, vatAnswer_, log_);
    currentTask().counts = QJsonObject{{QStringLiteral("articlesGivenRate"), articles}, {QStringLiteral("rate"), vatAnswer_}};
    endTask(QStringLiteral("%1 Artikel ohne Steuersatz erhielten \"%2\"").arg(articles).arg(vatAnswer_));

    beginTask(taskFields);
    const prepare::SchemaExtension added = prepare::extendSchema(engine_, report_.paths.Datenpfad_neu, log_);
    currentTask().counts = QJsonObject{{QStringLiteral("Einstellungen"), added.addedToEinstellungen},
                                {QStringLiteral("Tabelle1"), added.addedToTabelle1},
                                {QStringLiteral("Tabelle2"), added.addedToTabelle2}};
    endTask(QStringLiteral("%1 Felder zugefügt (Einstellungen %2, Tabelle1 %3, Tabelle2 %4)")
                        .arg(added.total()).arg(added.addedToEinstellungen).arg(added.addedToTabelle1).arg(added.addedToTabelle2));
    return true;
}

bool BatchRun::importReservations()
{
    beginTask(taskImport);
    const import::ImportResult result = import::runImport(controls_, report_.paths.Datenpfad_neu, report_.paths.Datenpfad_alt,
                                                          progressTrackWidth, console_, log_, console_.numberFormat());
    currentTask().counts = QJsonObject{{QStringLiteral("reservations"), double(result.reservationsWalked)},
                              {QStringLiteral("chargeLines"), double(result.chargeLinesWritten)}};
    endTask(QStringLiteral("%1 Reservierungen, %2 Verzehrzeilen, Summen geschrieben")
                .arg(result.reservationsWalked).arg(result.chargeLinesWritten));
    if (!result.walkBegan)
        report_.message = result.errorText;
    if (!result.stored)
        throw std::runtime_error(result.errorText.toStdString());
    return result.walkBegan;
}

bool BatchRun::finish()
{
    beginTask(taskFinish);
    markImported(controls_, report_.paths.Datenpfad_neu);
    endTask(QStringLiteral("als \"importiert\" gekennzeichnet"));
    return true;
}

int BatchRun::stop(int status, const QString& message, const QString& cause)
{
    if (console_.showsProgress())
        console_.error(QString());
    console_.error(message);
    if (!cause.isEmpty())
        console_.error(cause);
    report_.message = message;
    report_.cause = cause;
    return report(status);
}

int BatchRun::report(int status)
{
    report_.exitStatus = status;
    report_.totalSeconds = runClock_.elapsed() / 1000.0;
    if (reportFile_ && !reportFile_->finish(report_))
        console_.error(reportNotWritten.arg(*options_.report));
    return status;
}

} // namespace tavik::app

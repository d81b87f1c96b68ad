#include "import/ImportRun.h"

#include "import/ChargeLines.h"
#include "import/ImportLog.h"
#include "import/ImportNumbers.h"
#include "import/ImportTexts.h"
#include "store/DataControls.h"
#include "store/EngineError.h"
#include "store/NumberText.h"
#include "store/Transaction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tavik::import {

using store::EngineError;

namespace {

const QString& reservationsTable = texts::reservationsTable;
const QString settingsTable = QStringLiteral("Einstellungen");
const QString spare2Field = QStringLiteral("Spare2");

using Fields = store::ReservationFields;

// The reservation's fields whose content has moved into charge lines, in the order they are
// cleared. Erw17 to Erw20 take the totals instead.
constexpr ReservationField clearedFields[]
    = { &Fields::spare3, &Fields::boardText, &Fields::boardAmount, &Fields::extra1Text, &Fields::extra1Amount,
          &Fields::extra2Text, &Fields::extra2Amount, &Fields::extra3Text, &Fields::extra3Amount, &Fields::extra4Text,
          &Fields::extra4Rate, &Fields::extra4Amount, &Fields::touristTaxText, &Fields::touristTaxAmount };

// The walk's writes in one transaction, committed once at its end: every commit syncs the journal
// and the file several times, and a crash or a failed commit in the middle leaves the
// reservations as task 3 left them, all with their price lines, which a rerun imports whole.
class WalkTransaction {
public:
    WalkTransaction(store::Connection& connection, ImportLog& log)
        : connection_(connection)
        , log_(log)
    {
        try {
            transaction_.emplace(connection);
        } catch (const EngineError& error) {
            log_.engineError(texts::beginTransaction, reservationsTable, QString(), QString(), error);
        }
    }

    // After a full disk or an I/O error SQLite may have taken the transaction back by itself;
    // the walk then stops instead of committing every later reservation on its own.
    void reservationDone(int lines)
    {
        ++reservations_;
        lines_ += lines;
        finishIfTakenBack();
    }

    void finishIfTakenBack()
    {
        if (transaction_ && !connection_.inTransaction())
            finish();
    }

    void finish()
    {
        // Without a transaction every statement was committed on its own.
        if (transaction_) {
            try {
                transaction_->commit();
            } catch (const EngineError& error) {
                // On a full disk SQLite takes the whole transaction back: the run must not pass
                // for a success.
                failure_ = texts::notStored.arg(store::germanMessage(error));
                log_.setReservation(std::nullopt);
                log_.engineError(texts::commitTransaction, reservationsTable, QString(),
                    texts::batchContent.arg(reservations_).arg(lines_), error);
                lines_ = 0;
            }
            transaction_.reset(); // rolls back what a failed commit left open
        }
    }

    // Lines counted as stored whose queued store then failed.
    void linesNotStored(int lines) { lines_ -= lines; }
    // Stores may be queued only where one commit takes them all.
    bool began() const { return transaction_.has_value(); }

    qint64 committedLines() const { return failure_.isEmpty() ? lines_ : 0; }
    const QString& failure() const { return failure_; }

private:
    store::Connection& connection_;
    ImportLog& log_;
    std::optional<store::Transaction> transaction_;
    int reservations_ = 0;
    qint64 lines_ = 0;
    QString failure_;
};

// One run of task 4, as a sequence of named steps over the run state.
class ImportRun {
public:
    ImportRun(store::DataControls& controls, const QLocale& numberFormat, ImportProgress& progress, store::RunLog& log)
        : controls_(controls)
        , reservation_(controls.reservationFields)
        , numbers_(store::withoutSystemLookups(numberFormat))
        , progress_(progress)
        , log_(log)
    {
    }

    ImportResult run(const QString& Datenpfad_neu, const QString& Datenpfad_alt);

private:
    ImportResult notBegun(const QString& errorText);
    void bindRecordSources(const QString& Datenpfad_neu, const QString& Datenpfad_alt);
    void bindingFailed(store::RecordSource& source, const QString& path, const EngineError& error);
    std::optional<SettingsRates> readSettingsRates();
    std::optional<double> readSettingsRate(const store::BoundField& field);
    void countReservations();
    void walk(ChargeLineStep& step, WalkTransaction& transaction);
    void runQueuedStores(ChargeLineStep& step, WalkTransaction& transaction);
    void moveFirst();
    void logMoveFailure(const QString& operation, const EngineError& error);
    void writeTotals();
    void writeTotal(store::BoundField& field, double total);
    void writeTouristTax();
    void reportProgress();
    void clearMovedFields();
    void moveNext();
    void setText(store::BoundField& field, const QString& text, const QString& operation);
    // A refused assignment becomes a skip entry showing the value as shown() gives it.
    template <typename Assign, typename Shown>
    void assignReported(store::BoundField& field, const QString& operation, Assign assign, Shown shown);

    store::DataControls& controls_;
    store::ReservationFields& reservation_;
    RunNumbers numbers_;
    ImportProgress& progress_;
    ImportLog log_;
    RunState state_;
    QString reservationsFailure_;
    QString settingsFailure_;
    int spare2Index_ = -1;
    std::vector<std::optional<std::size_t>> reservationLogPlaces_;
};

ImportResult ImportRun::run(const QString& Datenpfad_neu, const QString& Datenpfad_alt)
{
    bindRecordSources(Datenpfad_neu, Datenpfad_alt);
    // Without its reservation set the walk has nothing to stand on; it ends before it begins.
    if (!reservationsFailure_.isEmpty() || !controls_.reservations.isOpen())
        return notBegun(texts::reservationsNotOpened + reservationsFailure_);
    // Every total depends on the settings' rates: totals worked out without them would be wrong
    // and pass for right, so no reservation is touched.
    const std::optional<SettingsRates> rates = readSettingsRates();
    if (!rates)
        return notBegun(texts::settingsNotRead.arg(Datenpfad_alt, settingsFailure_));
    ImportResult result;
    result.walkBegan = true;
    countReservations();
    ChargeLineStep step(controls_, *rates, numbers_, log_);
    WalkTransaction transaction(controls_.reservations.connection(), log_);
    // Of a reservation's 60 fields the walk reads those of its charge lines; it writes others.
    controls_.reservations.readFields(step.fieldsRead());
    walk(step, transaction);
    controls_.reservations.readFields({});
    result.reservationsWalked = state_.Buchungszaehler;
    result.chargeLinesWritten = transaction.committedLines();
    result.skippedOperations = log_.count();
    result.stored = transaction.failure().isEmpty();
    result.errorText = transaction.failure();
    return result;
}

ImportResult ImportRun::notBegun(const QString& errorText)
{
    ImportResult result;
    result.errorText = errorText;
    result.skippedOperations = log_.count();
    return result;
}

void ImportRun::bindRecordSources(const QString& Datenpfad_neu, const QString& Datenpfad_alt)
{
    controls_.bindAt(store::BindingStep::Import, { .older = Datenpfad_alt, .target = Datenpfad_neu },
        [this](store::RecordSource& source, const QString& path, const EngineError& error) {
            bindingFailed(source, path, error);
        });
    spare2Index_ = controls_.reservations.findField(spare2Field);
}

void ImportRun::bindingFailed(store::RecordSource& source, const QString& path, const EngineError& error)
{
    log_.engineError(texts::bindSource.arg(source.name()), source.table(), QString(), path, error);
    if (&source == &controls_.reservations)
        reservationsFailure_ = store::germanMessage(error);
    if (&source == &controls_.settings)
        settingsFailure_ = store::germanMessage(error);
}

// Empty when there is no settings record to read; a rate that is merely not a number is only
// reported, and that sum stays without lines.
std::optional<SettingsRates> ImportRun::readSettingsRates()
{
    if (settingsFailure_.isEmpty() && (!controls_.settings.isOpen() || controls_.settings.eof()))
        settingsFailure_ = texts::noSettingsRecord;
    if (!settingsFailure_.isEmpty())
        return std::nullopt;
    // Read once: the settings record stands still for the whole run.
    SettingsRates rates;
    rates.MwSt = readSettingsRate(controls_.settingsFields.standardRate);
    rates.Zusatz10 = readSettingsRate(controls_.settingsFields.secondRate);
    return rates;
}

std::optional<double> ImportRun::readSettingsRate(const store::BoundField& field)
{
    const QString text = field.text();
    const std::optional<double> rate = numbers_.strict(text);
    if (!rate)
        log_.skipped(texts::readSettingsRate, settingsTable, field.field(), text, texts::settingsRateNotANumber);
    return rate;
}

void ImportRun::countReservations()
{
    const qint64 count = controls_.reservations.recordCount();
    state_.Gesamtzahl = static_cast<qint32>(std::min<qint64>(count, std::numeric_limits<qint32>::max()));
}

// A walk ended by an error or a stop drops what it queued: its transaction is taken back.
class QueuedStoresGuard {
public:
    QueuedStoresGuard(store::DataControls& controls, ImportLog& log)
        : controls_(controls)
        , log_(log)
    {
    }
    ~QueuedStoresGuard()
    {
        for (store::RecordSource* source : { &controls_.reservations, &controls_.chargeLines }) {
            source->dropQueuedStores();
            source->deferStores(false);
        }
        log_.release();
    }

private:
    store::DataControls& controls_;
    ImportLog& log_;
};

// Reservations whose stores are queued before they run together.
constexpr int reservationsPerRun = 32;

void ImportRun::walk(ChargeLineStep& step, WalkTransaction& transaction)
{
    QueuedStoresGuard guard(controls_, log_);
    if (transaction.began()) {
        controls_.reservations.deferStores(true);
        controls_.chargeLines.deferStores(true);
        log_.hold();
    }
    int sinceRun = 0;
    moveFirst();
    progress_.begin(state_.Gesamtzahl);
    while (!controls_.reservations.eof()) {
        if (++sinceRun > reservationsPerRun) {
            sinceRun = 1;
            runQueuedStores(step, transaction);
            if (!transaction.failure().isEmpty())
                return;
        }
        log_.setReservation(controls_.reservations.currentKey());
        // A reservation the move could not read (logged there) is passed over as a whole: its
        // price lines are not known, and totals and cleared fields would overwrite them.
        if (controls_.reservations.currentRecordUnread()) {
            ++state_.Buchungszaehler;
            reportProgress();
            moveNext();
            transaction.reservationDone(0);
            if (!transaction.failure().isEmpty())
                return;
            continue;
        }
        const int lines = step.writeLines(state_);
        writeTotals();
        state_.Summe_MwSt = 0.0;
        state_.Summe_Zusatz = 0.0;
        state_.Summe_Null = 0.0;
        state_.Summe_gesamt = 0.0;
        ++state_.Buchungszaehler;
        reportProgress();
        clearMovedFields();
        // The move stores the totals and the cleared fields into the reservation just finished.
        moveNext();
        transaction.reservationDone(lines);
        if (!transaction.failure().isEmpty())
            return;
    }
    runQueuedStores(step, transaction);
    log_.setReservation(std::nullopt);
    if (transaction.failure().isEmpty())
        transaction.finish();
}

// The charge lines first, then the reservations they came from; each failure is reported with
// the reservation it belongs to.
void ImportRun::runQueuedStores(ChargeLineStep& step, WalkTransaction& transaction)
{
    transaction.linesNotStored(step.runQueuedLines());
    for (const store::RecordSource::StoreFailure& failure : controls_.reservations.runQueuedStores()) {
        log_.storeFailed(reservationLogPlaces_[failure.queued], failure.error.context().recordKey,
            texts::storeReservation, reservationsTable, QString(), failure.error);
    }
    reservationLogPlaces_.clear();
    log_.release();
    if (transaction.began())
        log_.hold();
    transaction.finishIfTakenBack();
}

void ImportRun::moveFirst()
{
    try {
        controls_.reservations.moveFirst();
    } catch (const EngineError& error) {
        logMoveFailure(texts::moveToFirstReservation, error);
    }
}

// A move stores the reservation it leaves and reads the one it reaches; a failed read is what it
// throws when both fail, and it belongs to the reservation reached.
void ImportRun::logMoveFailure(const QString& operation, const EngineError& error)
{
    if (!controls_.reservations.currentRecordUnread()) {
        log_.engineError(operation, reservationsTable, QString(), QString(), error);
        return;
    }
    log_.setReservation(controls_.reservations.currentKey());
    log_.engineError(texts::readReservation, reservationsTable, QString(), QString(), error);
}

void ImportRun::writeTotals()
{
    // The charge lines have read Erw17 to Erw20 as rates already; the totals now replace them.
    writeTotal(reservation_.standardRateTotal, state_.Summe_MwSt);
    writeTotal(reservation_.secondRateTotal, state_.Summe_Zusatz);
    writeTotal(reservation_.zeroRateTotal, state_.Summe_Null);
    writeTouristTax();
    state_.Summe_gesamt = state_.Summe_MwSt + state_.Summe_Zusatz + state_.Summe_Null;
    writeTotal(reservation_.grandTotal, state_.Summe_gesamt);
}

void ImportRun::writeTotal(store::BoundField& field, double total)
{
    if (!std::isfinite(total)) {
        log_.skipped(texts::writeTotal, reservationsTable, field.field(), QString(), texts::totalTooLarge);
        setText(field, QString(), texts::writeTotal);
        return;
    }
    std::array<char, 24> room;
    if (const std::string_view plain = numbers_.plainText(total, room); !plain.empty()) {
        assignReported(
            field, texts::writeTotal, [&] { field.setAsciiText(plain); }, [&] { return QString::fromLatin1(plain); });
        return;
    }
    setText(field, numbers_.text(total), texts::writeTotal);
}

void ImportRun::writeTouristTax()
{
    // Spare2 without value gives the empty text: Erw20 held a VAT rate before, and a rate left
    // where the tourist tax belongs would be read as money.
    try {
        if (spare2Index_ < 0)
            controls_.reservations.fieldIndex(spare2Field); // throws the engine's error naming the field
        setText(reservation_.touristTaxTotal, controls_.reservations.text(spare2Index_), texts::writeTotal);
    } catch (const EngineError& error) {
        log_.engineError(texts::writeTotal, reservationsTable, reservation_.touristTaxTotal.field(), QString(), error);
    }
}

void ImportRun::reportProgress()
{
    progress_.reservationDone(state_.Buchungszaehler, state_.Gesamtzahl);
}

void ImportRun::clearMovedFields()
{
    for (const ReservationField field : clearedFields)
        setText(reservation_.*field, QString(), texts::clearMovedField);
}

void ImportRun::moveNext()
{
    const std::size_t queuedBefore = controls_.reservations.queuedStores();
    std::optional<EngineError> failure;
    try {
        controls_.reservations.moveNext();
    } catch (const EngineError& error) {
        failure = error;
    }
    // The store of the reservation left, when queued, keeps its place before a failed read.
    if (controls_.reservations.queuedStores() > queuedBefore)
        reservationLogPlaces_.push_back(log_.placeForStore());
    if (failure)
        logMoveFailure(texts::storeReservation, *failure);
}

void ImportRun::setText(store::BoundField& field, const QString& text, const QString& operation)
{
    assignReported(
        field, operation, [&] { field.setText(text); }, [&] { return text; });
}

template <typename Assign, typename Shown>
void ImportRun::assignReported(store::BoundField& field, const QString& operation, Assign assign, Shown shown)
{
    try {
        assign();
    } catch (const EngineError& error) {
        log_.engineError(operation, reservationsTable, field.field(), shown(), error);
    }
}

} // namespace

ImportResult runImport(store::DataControls& controls, const QString& Datenpfad_neu, const QString& Datenpfad_alt,
    ImportProgress& progress, store::RunLog& log, const QLocale& numberFormat)
{
    return ImportRun(controls, numberFormat, progress, log).run(Datenpfad_neu, Datenpfad_alt);
}

} // namespace tavik::import

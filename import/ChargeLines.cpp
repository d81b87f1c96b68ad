#include "import/ChargeLines.h"

#include "import/ImportLog.h"
#include "import/ImportNumbers.h"
#include "import/ImportTexts.h"
#include "store/DataControls.h"
#include "store/EngineError.h"
#include "store/NumberText.h"

#include <QStringList>

namespace tavik::import {

using store::EngineError;

namespace {

const QString& reservationsTable = texts::reservationsTable;
const QString chargesTable = QStringLiteral("Verzehr");
const QString idField = QStringLiteral("ID");
const QString spare2Field = QStringLiteral("Spare2");

using Fields = store::ReservationFields;

// Every price-line field the step reads, besides the employee, the reservation's rate, its key and
// Spare2.
constexpr ReservationField priceFieldsRead[] = { &Fields::nights, &Fields::roomOffer, &Fields::roomPrice,
    &Fields::roomRate, &Fields::roomAmount, &Fields::roomQuantity, &Fields::boardText, &Fields::boardRate,
    &Fields::boardAmount, &Fields::extra1Text, &Fields::extra1Rate, &Fields::extra1Amount, &Fields::extra2Text,
    &Fields::extra2Rate, &Fields::extra2Amount, &Fields::extra3Text, &Fields::extra3Rate, &Fields::extra3Amount,
    &Fields::extra4Text, &Fields::extra4Rate, &Fields::extra4Amount, &Fields::touristTaxText };

} // namespace

ChargeLineStep::ChargeLineStep(
    store::DataControls& controls, const SettingsRates& rates, RunNumbers& numbers, ImportLog& log)
    : controls_(controls)
    , reservation_(controls.reservationFields)
    , rates_(rates)
    , numbers_(numbers)
    , log_(log)
    , emptyText_(QStringLiteral(""))
    , zeroRate_(QStringLiteral("0"))
    , originMark_(QStringLiteral("ZR"))
{
    for (std::size_t i = 0; i < lineKinds.size(); ++i) {
        const LineKind& kind = lineKinds[i];
        kinds_[i] = PreparedKind { &kind, &(reservation_.*kind.text), kind.rate ? &(reservation_.*kind.rate) : nullptr,
            kind.amount ? &(reservation_.*kind.amount) : nullptr,
            kind.category ? QString::fromUtf8(kind.category) : QString() };
    }
    const char* names[chargeFieldCount]
        = { "Ver1", "Ver2", "Ver3", "Ver4", "Ver5", "Ver6", "Ver8", "Ver10", "Z1" };
    for (int i = 0; i < chargeFieldCount; ++i) {
        chargeFields_[i].name = QString::fromLatin1(names[i]);
        chargeFields_[i].index = controls_.chargeLines.findField(chargeFields_[i].name);
    }
    idIndex_ = controls_.reservations.findField(idField);
    spare2Index_ = controls_.reservations.findField(spare2Field);
    reportMissingReservationFields();
}

// A bound field whose field the file lacks reads as empty text without an error, so the run
// says so once instead of leaving the lines it changes unexplained.
void ChargeLineStep::reportMissingReservationFields()
{
    if (!controls_.reservations.isOpen())
        return;
    for (const QString& field : fieldsRead()) {
        if (controls_.reservations.findField(field) < 0)
            log_.skipped(
                texts::readReservationField, reservationsTable, field, QString(), texts::fieldMissing);
    }
}

QStringList reservationFieldsRead(const store::ReservationFields& reservation)
{
    QStringList fields { reservation.employee.field(), reservation.reservationRate.field(), idField, spare2Field };
    for (const ReservationField field : priceFieldsRead)
        fields << (reservation.*field).field();
    return fields;
}

QStringList ChargeLineStep::fieldsRead() const
{
    return reservationFieldsRead(reservation_);
}

int ChargeLineStep::writeLines(RunState& state)
{
    int stored = 0;
    for (const PreparedKind& kind : kinds_) {
        // A kind without its text is passed over completely, even when its amount holds a value.
        if (kind.text->isEmpty()) {
            reportAmountWithoutText(kind);
            continue;
        }
        stored += writeLine(kind, state) ? 1 : 0;
    }
    return stored;
}

// The amounts of these kinds are cleared with the reservation's moved fields (the room's stays,
// the tourist tax goes into Erw20), so one typed without its text would vanish unexplained.
void ChargeLineStep::reportAmountWithoutText(const PreparedKind& kind)
{
    if (kind.kind->shape != LineShape::Priced || kind.amount->isEmpty())
        return;
    log_.skipped(
        texts::takeOverLine, reservationsTable, kind.amount->field(), kind.amount->text(), texts::lineWithoutText);
}

bool ChargeLineStep::writeLine(const PreparedKind& kind, RunState& state)
{
    LineValues line;
    switch (kind.kind->shape) {
    case LineShape::Room:
        line = roomValues(kind, state);
        break;
    case LineShape::Priced:
        line = pricedValues(kind, state);
        break;
    case LineShape::TouristTax:
        line = touristTaxValues(kind);
        break;
    }
    // The number is used up even when the line cannot be stored, so no number is given twice.
    ++state.Zeilennummer;
    const bool started = startRecord(line);
    if (started) {
        if (line.quantity)
            assign(Ver1, *line.quantity);
        else
            assign(Ver1, emptyText_);
        assign(Ver2, state.Zeilennummer);
        assign(Z1, line.Z1);
        if (line.rate)
            assign(Ver3, *line.rate);
        else
            assign(Ver3, line.rateText);
        assign(Ver4, line.Ver4);
        bool amountStored = false;
        if (line.amount == LineValues::Amount::Text)
            amountStored = assign(Ver5, line.storedAmount);
        else if (line.amount == LineValues::Amount::Null)
            assignNull(Ver5);
        addToSums(kind, line, amountStored, state);
        if (kind.kind->shape != LineShape::TouristTax)
            blankZeroAmount(line);
        writeReservationMarks(kind);
    }
    if (kind.kind->shape == LineShape::Room)
        state.MwSt_Satz = 0.0;
    return started && saveRecord(line);
}

ChargeLineStep::LineValues ChargeLineStep::roomValues(const PreparedKind& kind, RunState& state)
{
    LineValues line;
    state.MwSt_Satz = readRate(*kind.rate);
    // The line stores its rate as text of 15 significant digits; the sums compare that same rate.
    if (state.MwSt_Satz)
        state.MwSt_Satz = asShown(*state.MwSt_Satz);
    line.quantity = quantity();
    line.Z1 = roomText(kind, state);
    // The room line stores the rate it worked out, so that a fallback to Re18 shows in the line.
    line.rate = state.MwSt_Satz;
    line.rateText = emptyText_;
    line.Ver4 = reservation_.roomPrice.text();
    line.amountText = kind.amount->text();
    line.storedAmount = line.amountText;
    return line;
}

ChargeLineStep::LineValues ChargeLineStep::pricedValues(const PreparedKind& kind, RunState& state)
{
    LineValues line;
    state.MwSt_Satz = readRate(*kind.rate);
    line.Z1 = kind.text->text();
    // These lines keep their rate field's text as typed; only the sums use the rate worked out.
    line.rateText = kind.rate->text();
    line.Ver4 = emptyText_;
    line.amountText = kind.amount->text();
    line.storedAmount = line.amountText;
    return line;
}

ChargeLineStep::LineValues ChargeLineStep::touristTaxValues(const PreparedKind& kind)
{
    LineValues line;
    line.Z1 = kind.text->text();
    line.rateText = zeroRate_;
    line.Ver4 = emptyText_;
    line.amount = LineValues::Amount::Unread;
    try {
        if (spare2Index_ < 0)
            controls_.reservations.fieldIndex(spare2Field); // throws the engine's error naming the field
        store::RecordSource& reservation = controls_.reservations;
        if (reservation.isNull(spare2Index_)) {
            line.amount = LineValues::Amount::Null;
        } else {
            // A number stored as a number becomes text in the user's format, as the engine reads it;
            // the messages show the value itself.
            line.storedAmount = reservation.text(spare2Index_);
            line.amountText = reservation.value(spare2Index_).toString();
            line.amount = LineValues::Amount::Text;
        }
    } catch (const EngineError& error) {
        log_.engineError(texts::readReservationField, reservationsTable, spare2Field, QString(), error);
    }
    return line;
}

std::optional<double> ChargeLineStep::readRate(const store::BoundField& rateField)
{
    // An empty rate field means that the reservation's own rate applies.
    const bool ownRate = !rateField.isEmpty();
    const store::BoundField& source = ownRate ? rateField : reservation_.reservationRate;
    const QString text = source.text();
    const std::optional<double> rate = numbers_.strict(text);
    if (!rate)
        log_.skipped(texts::readLineRate, reservationsTable, source.field(), text, texts::lineRateNotANumber);
    return rate;
}

qint64 ChargeLineStep::quantity()
{
    const QString text = reservation_.roomQuantity.text();
    const double reading = store::readLenient(text);
    if (reading <= 1.0)
        return 1;
    if (const std::optional<qint16> Menge = toInt16HalfEven(reading))
        return *Menge;
    log_.skipped(
        texts::readQuantity, reservationsTable, reservation_.roomQuantity.field(), text, texts::quantityTooLarge);
    return 1;
}

QString ChargeLineStep::roomText(const PreparedKind& kind, RunState& state)
{
    const double nights = store::readLenient(reservation_.nights.text());
    // Less than one night reads as " Nächte " too: a wording left over from another reservation
    // would describe that reservation's stay, not this one.
    state.Naechte_Text = nights == 1.0 ? texts::oneNight : texts::severalNights;
    const QString offer = kind.text->text();
    const QString nightsText = numbers_.text(nights);
    const QString employee = reservation_.employee.text();
    // Made in one piece: a room line is written for nearly every reservation.
    QString text;
    text.reserve(offer.size() + texts::roomTextSeparator.size() + nightsText.size() + state.Naechte_Text.size()
        + employee.size() + 2);
    text.append(offer).append(texts::roomTextSeparator).append(nightsText).append(state.Naechte_Text);
    if (!employee.isEmpty())
        text.append(QLatin1Char('[')).append(employee).append(QLatin1Char(']'));
    return text;
}

void ChargeLineStep::addToSums(const PreparedKind& kind, const LineValues& line, bool amountStored, RunState& state)
{
    const std::optional<double> amount = amountStored ? numbers_.amount(line.storedAmount) : std::nullopt;
    if (!amount) {
        const QString field = kind.amount ? kind.amount->field() : spare2Field;
        log_.skipped(texts::sumLineAmount, reservationsTable, field, amountStored ? line.storedAmount : QString(),
            texts::amountNotANumber);
        return;
    }
    if (kind.kind->shape == LineShape::TouristTax) {
        state.Summe_Null += *amount;
        return;
    }
    if (!state.MwSt_Satz)
        return; // reported when the rate was read
    // Three independent tests of exact equality: a line may go into two sums, or into none.
    const double rate = *state.MwSt_Satz;
    if (rates_.MwSt && *rates_.MwSt == rate)
        state.Summe_MwSt += *amount;
    if (rates_.Zusatz10 && *rates_.Zusatz10 == rate)
        state.Summe_Zusatz += *amount;
    if (rate == 0.0)
        state.Summe_Null += *amount;
}

void ChargeLineStep::blankZeroAmount(const LineValues& line)
{
    // Only the two-decimal forms users typed for a free line; the sums have already taken it.
    // The length first: this runs for every line, and nearly every amount is longer.
    if (line.amountText.size() != 4
        || (line.amountText != QLatin1String("0.00") && line.amountText != QLatin1String("0,00")))
        return;
    assign(Ver5, emptyText_);
    assign(Ver3, emptyText_);
    assign(Ver4, emptyText_);
}

void ChargeLineStep::writeReservationMarks(const PreparedKind& kind)
{
    try {
        if (idIndex_ < 0)
            controls_.reservations.fieldIndex(idField); // throws the engine's error naming the field
        const store::ColumnValue key = controls_.reservations.fieldValue(idIndex_);
        assignWith(
            Ver6, [&key](store::RecordSource& lines, int index) { lines.setValue(index, key); },
            [&key] { return key.toVariant().toString(); });
    } catch (const EngineError& error) {
        log_.engineError(texts::readReservationField, reservationsTable, idField, QString(), error);
    }
    assign(Ver10, originMark_);
    if (!kind.category.isNull())
        assign(Ver8, kind.category);
}

bool ChargeLineStep::startRecord(const LineValues& line)
{
    try {
        controls_.chargeLines.addNew();
        return true;
    } catch (const EngineError& error) {
        log_.engineError(texts::startLine, chargesTable, QString(),
            texts::lineContent.arg(line.Z1, line.amountText), error);
        return false;
    }
}

bool ChargeLineStep::saveRecord(const LineValues& line)
{
    try {
        controls_.chargeLines.updateRecord();
        if (controls_.chargeLines.queuedStores() > queuedLines_.size())
            queuedLines_.push_back(
                { controls_.reservations.currentKey(), line.Z1, line.amountText, log_.placeForStore() });
        return true;
    } catch (const EngineError& error) {
        log_.engineError(texts::saveLine, chargesTable, QString(),
            texts::lineContent.arg(line.Z1, line.amountText), error);
        return false;
    }
}

int ChargeLineStep::runQueuedLines()
{
    const std::vector<store::RecordSource::StoreFailure> failures = controls_.chargeLines.runQueuedStores();
    for (const store::RecordSource::StoreFailure& failure : failures) {
        const QueuedLine& line = queuedLines_[failure.queued];
        log_.storeFailed(line.logPlace, line.reservation, texts::saveLine, chargesTable,
            texts::lineContent.arg(line.Z1, line.amountText), failure.error);
    }
    queuedLines_.clear();
    return static_cast<int>(failures.size());
}

template <typename Assign, typename Shown>
bool ChargeLineStep::assignWith(ChargeFieldId id, Assign assign, Shown shown)
{
    const ChargeField& field = chargeFields_[id];
    try {
        if (field.index < 0)
            controls_.chargeLines.fieldIndex(field.name); // throws the engine's error naming the field
        assign(controls_.chargeLines, field.index);
        return true;
    } catch (const EngineError& error) {
        log_.engineError(texts::assignLineField, chargesTable, field.name, shown(), error);
        return false;
    }
}

bool ChargeLineStep::assign(ChargeFieldId id, const QString& text)
{
    return assignWith(
        id, [&text](store::RecordSource& lines, int index) { lines.setValue(index, text); }, [&text] { return text; });
}

// A refused number is shown in the log as a variant around it would show it.
bool ChargeLineStep::assign(ChargeFieldId id, qint64 number)
{
    return assignWith(
        id, [number](store::RecordSource& lines, int index) { lines.setNumber(index, number); },
        [number] { return QString::number(number); });
}

bool ChargeLineStep::assign(ChargeFieldId id, double number)
{
    return assignWith(
        id, [number](store::RecordSource& lines, int index) { lines.setNumber(index, number); },
        [number] { return QString::number(number, 'g', QLocale::FloatingPointShortest); });
}

bool ChargeLineStep::assignNull(ChargeFieldId id)
{
    return assignWith(
        id, [](store::RecordSource& lines, int index) { lines.setNull(index); }, [] { return QString(); });
}

} // namespace tavik::import

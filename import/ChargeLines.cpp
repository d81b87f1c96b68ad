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

// lb_rg20 elements the room line reads besides those of its kind.
constexpr int nightsElement = 0; // Re6
constexpr int roomPriceElement = 2; // Re9
constexpr int roomQuantityElement = 6; // Erw12

// Every lb_rg20 element the step reads.
constexpr int readElements[]
    = { 0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22 };

} // namespace

ChargeLineStep::ChargeLineStep(
    store::DataControls& controls, const SettingsRates& rates, RunNumbers& numbers, ImportLog& log)
    : controls_(controls)
    , rates_(rates)
    , numbers_(numbers)
    , log_(log)
    , emptyText_(QStringLiteral(""))
    , zeroRate_(QStringLiteral("0"))
    , originMark_(QStringLiteral("ZR"))
{
    for (std::size_t i = 0; i < lineKinds.size(); ++i) {
        const LineKind& kind = lineKinds[i];
        kinds_[i] = PreparedKind { &kind, &controls_.lb_rg20(kind.textElement),
            kind.rateElement >= 0 ? &controls_.lb_rg20(kind.rateElement) : nullptr,
            kind.amountElement >= 0 ? &controls_.lb_rg20(kind.amountElement) : nullptr,
            kind.category ? QString::fromUtf8(kind.category) : QString() };
    }
    const char* names[chargeFieldCount]
        = { "Ver1", "Ver2", "Ver3", "Ver4", "Ver5", "Ver6", "Ver8", "Ver10", "Z1" };
    for (int i = 0; i < chargeFieldCount; ++i) {
        chargeFields_[i].name = QString::fromLatin1(names[i]);
        chargeFields_[i].index = controls_.Data4.findField(chargeFields_[i].name);
    }
    idIndex_ = controls_.Data1.findField(idField);
    spare2Index_ = controls_.Data1.findField(spare2Field);
    reportMissingReservationFields();
}

// A bound field whose field the file lacks reads as empty text without an error, so the run
// says so once instead of leaving the lines it changes unexplained.
void ChargeLineStep::reportMissingReservationFields()
{
    if (!controls_.Data1.isOpen())
        return;
    QStringList fields { controls_.Mitarbeiter.field(), controls_.alteMwSt.field(), idField, spare2Field };
    for (const int element : readElements)
        fields << controls_.lb_rg20(element).field();
    for (const QString& field : fields) {
        if (controls_.Data1.findField(field) < 0)
            log_.skipped(
                texts::readReservationField, reservationsTable, field, QString(), texts::fieldMissing);
    }
}

int ChargeLineStep::writeLines(RunState& state)
{
    int stored = 0;
    for (const PreparedKind& kind : kinds_) {
        // A kind without its text is passed over completely, even when its amount holds a value.
        if (kind.text->isEmpty())
            continue;
        stored += writeLine(kind, state) ? 1 : 0;
    }
    return stored;
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
        assign(Ver1, line.Ver1);
        assign(Ver2, QVariant(state.Zeilennummer));
        assign(Z1, line.Z1);
        assign(Ver3, line.Ver3);
        assign(Ver4, line.Ver4);
        if (line.amountIsText)
            assign(Ver5, line.amountText);
        else if (line.Ver5)
            assign(Ver5, *line.Ver5);
        addToSums(kind, state);
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
    line.Ver1 = quantity();
    line.Z1 = roomText(kind, state);
    // The room line stores the rate it worked out, so that a fallback to Re18 shows in the line.
    line.Ver3 = state.MwSt_Satz ? QVariant(*state.MwSt_Satz) : QVariant(emptyText_);
    line.Ver4 = controls_.lb_rg20(roomPriceElement).text();
    line.amountText = kind.amount->text();
    return line;
}

ChargeLineStep::LineValues ChargeLineStep::pricedValues(const PreparedKind& kind, RunState& state)
{
    LineValues line;
    state.MwSt_Satz = readRate(*kind.rate);
    line.Ver1 = emptyText_;
    line.Z1 = kind.text->text();
    // These lines keep their rate field's text as typed; only the sums use the rate worked out.
    line.Ver3 = kind.rate->text();
    line.Ver4 = emptyText_;
    line.amountText = kind.amount->text();
    return line;
}

ChargeLineStep::LineValues ChargeLineStep::touristTaxValues(const PreparedKind& kind)
{
    LineValues line;
    line.amountIsText = false;
    line.Ver1 = emptyText_;
    line.Z1 = kind.text->text();
    line.Ver3 = zeroRate_;
    line.Ver4 = emptyText_;
    try {
        if (spare2Index_ < 0)
            controls_.Data1.fieldIndex(spare2Field); // throws the engine's error naming the field
        line.Ver5 = controls_.Data1.value(spare2Index_);
        line.amountText = line.Ver5->toString();
    } catch (const EngineError& error) {
        log_.engineError(texts::readReservationField, reservationsTable, spare2Field, QString(), error);
    }
    return line;
}

std::optional<double> ChargeLineStep::readRate(const store::BoundField& rateField)
{
    // An empty rate field means that the reservation's own rate applies.
    const bool ownRate = !rateField.isEmpty();
    const store::BoundField& source = ownRate ? rateField : controls_.alteMwSt;
    const QString text = source.text();
    const std::optional<double> rate = numbers_.strict(text);
    if (!rate)
        log_.skipped(texts::readLineRate, reservationsTable, source.field(), text, texts::lineRateNotANumber);
    return rate;
}

QVariant ChargeLineStep::quantity()
{
    const QString text = controls_.lb_rg20(roomQuantityElement).text();
    const double reading = store::readLenient(text);
    if (reading <= 1.0)
        return QVariant(1);
    if (const std::optional<qint16> Menge = toInt16HalfEven(reading))
        return QVariant(int(*Menge));
    log_.skipped(texts::readQuantity, reservationsTable, controls_.lb_rg20(roomQuantityElement).field(), text,
        texts::quantityTooLarge);
    return QVariant(1);
}

QString ChargeLineStep::roomText(const PreparedKind& kind, RunState& state)
{
    const double nights = store::readLenient(controls_.lb_rg20(nightsElement).text());
    // Less than one night reads as " Nächte " too: a wording left over from another reservation
    // would describe that reservation's stay, not this one.
    state.Naechte_Text = nights == 1.0 ? texts::oneNight : texts::severalNights;
    const QString offer = kind.text->text();
    const QString nightsText = numbers_.text(nights);
    const QString employee = controls_.Mitarbeiter.text();
    // Made in one piece: a room line is written for nearly every reservation.
    QString text;
    text.reserve(offer.size() + texts::roomTextSeparator.size() + nightsText.size() + state.Naechte_Text.size()
        + employee.size() + 2);
    text.append(offer).append(texts::roomTextSeparator).append(nightsText).append(state.Naechte_Text);
    if (!employee.isEmpty())
        text.append(QLatin1Char('[')).append(employee).append(QLatin1Char(']'));
    return text;
}

void ChargeLineStep::addToSums(const PreparedKind& kind, RunState& state)
{
    // Read back from the new record, so that an amount the engine refused is not summed.
    const ChargeField& ver5 = chargeFields_[Ver5];
    QVariant stored;
    try {
        if (ver5.index >= 0)
            stored = controls_.Data4.value(ver5.index);
    } catch (const EngineError& error) {
        log_.engineError(texts::sumLineAmount, chargesTable, ver5.name, QString(), error);
        return;
    }
    const std::optional<double> amount = numbers_.amount(stored);
    if (!amount) {
        const QString field = kind.amount ? kind.amount->field() : spare2Field;
        log_.skipped(
            texts::sumLineAmount, reservationsTable, field, stored.toString(), texts::amountNotANumber);
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
    if (line.amountText != QLatin1String("0.00") && line.amountText != QLatin1String("0,00"))
        return;
    assign(Ver5, emptyText_);
    assign(Ver3, emptyText_);
    assign(Ver4, emptyText_);
}

void ChargeLineStep::writeReservationMarks(const PreparedKind& kind)
{
    try {
        if (idIndex_ < 0)
            controls_.Data1.fieldIndex(idField); // throws the engine's error naming the field
        assign(Ver6, controls_.Data1.value(idIndex_));
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
        controls_.Data4.addNew();
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
        controls_.Data4.updateRecord();
        return true;
    } catch (const EngineError& error) {
        log_.engineError(texts::saveLine, chargesTable, QString(),
            texts::lineContent.arg(line.Z1, line.amountText), error);
        return false;
    }
}

namespace {
QString shownValue(const QVariant& value) { return value.toString(); }
const QString& shownValue(const QString& text) { return text; }
} // namespace

template <typename Value>
void ChargeLineStep::assignValue(ChargeFieldId id, const Value& value)
{
    const ChargeField& field = chargeFields_[id];
    try {
        if (field.index < 0)
            controls_.Data4.fieldIndex(field.name); // throws the engine's error naming the field
        controls_.Data4.setValue(field.index, value);
    } catch (const EngineError& error) {
        log_.engineError(texts::assignLineField, chargesTable, field.name, shownValue(value), error);
    }
}

void ChargeLineStep::assign(ChargeFieldId id, const QVariant& value)
{
    assignValue(id, value);
}

void ChargeLineStep::assign(ChargeFieldId id, const QString& text)
{
    assignValue(id, text);
}

} // namespace tavik::import

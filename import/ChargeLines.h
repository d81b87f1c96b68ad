#pragma once

#include "import/ImportNumbers.h"
#include "store/DataControls.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace tavik::import {

class ImportLog;

// The state of one import run; nothing of it survives the run.
struct RunState {
    qint32 Gesamtzahl = 0; // reservations, counted once before the walk
    qint64 Buchungszaehler = 0; // reservations finished
    qint64 Zeilennummer = 0; // charge lines begun in this run, across reservations
    double Summe_MwSt = 0.0; // current reservation: amounts at the standard rate
    double Summe_Zusatz = 0.0; // ... at the second rate
    double Summe_Null = 0.0; // ... at rate 0, and the tourist tax
    double Summe_gesamt = 0.0;
    // Empty while the rate of the line being written could not be read: such a line goes into
    // no sum, and no later line can inherit a rate that belongs to another line.
    std::optional<double> MwSt_Satz = 0.0;
    QString Naechte_Text;
};

// The settings' two rates, read once per run; empty when the text is not a number.
struct SettingsRates {
    std::optional<double> MwSt; // the standard rate
    std::optional<double> Zusatz10; // the second rate
};

enum class LineShape { Room, Priced, TouristTax };

using ReservationField = store::BoundField store::ReservationFields::*;

// One kind of price line of a reservation, by the fields that carry it.
struct LineKind {
    LineShape shape;
    ReservationField text; // the line exists when this text is not empty
    ReservationField rate; // nullptr: the line has no rate field
    ReservationField amount; // nullptr: the amount is the reservation's Spare2
    const char* category; // Ver8; nullptr: not written
};

// The seven kinds in the order their lines are written.
inline constexpr std::array<LineKind, 7> lineKinds = { {
    { LineShape::Room, &store::ReservationFields::roomOffer, &store::ReservationFields::roomRate,
        &store::ReservationFields::roomAmount, "Zimmerangebot" },
    { LineShape::Priced, &store::ReservationFields::boardText, &store::ReservationFields::boardRate,
        &store::ReservationFields::boardAmount, "Verpflegung" },
    { LineShape::Priced, &store::ReservationFields::extra1Text, &store::ReservationFields::extra1Rate,
        &store::ReservationFields::extra1Amount, nullptr },
    { LineShape::Priced, &store::ReservationFields::extra2Text, &store::ReservationFields::extra2Rate,
        &store::ReservationFields::extra2Amount, nullptr },
    { LineShape::Priced, &store::ReservationFields::extra3Text, &store::ReservationFields::extra3Rate,
        &store::ReservationFields::extra3Amount, nullptr },
    { LineShape::Priced, &store::ReservationFields::extra4Text, &store::ReservationFields::extra4Rate,
        &store::ReservationFields::extra4Amount, nullptr },
    { LineShape::TouristTax, &store::ReservationFields::touristTaxText, nullptr, nullptr, "Steuer/Kurtaxe" },
} };

// The reservation fields the charge-line step reads, by name: the employee, the reservation's rate,
// its key, Spare2 and every price line's fields.
QStringList reservationFieldsRead(const store::ReservationFields& fields);

// The charge-line step: turns the price lines of the reservation on which the reservations' source
// stands into charge lines, and adds their amounts to the run's per-rate sums. It neither moves
// the reservations' source nor writes into the reservation.
class ChargeLineStep {
public:
    // Looks up every field position once; the record sources must be bound already.
    ChargeLineStep(
        store::DataControls& controls, const SettingsRates& rates, RunNumbers& numbers, ImportLog& log);

    // Returns how many lines were stored.
    int writeLines(RunState& state);
    // The fields of the reservation the step reads.
    QStringList fieldsRead() const;
    // Runs the lines whose stores the charge lines' source has queued, and reports each that
    // could not be stored; returns how many.
    int runQueuedLines();

private:
    // A field of Verzehr and its position, -1 when the table lacks it.
    struct ChargeField {
        QString name;
        int index = -1;
    };
    enum ChargeFieldId { Ver1, Ver2, Ver3, Ver4, Ver5, Ver6, Ver8, Ver10, Z1, chargeFieldCount };

    // A kind with its bound fields resolved.
    struct PreparedKind {
        const LineKind* kind;
        store::BoundField* text;
        store::BoundField* rate;
        store::BoundField* amount;
        QString category; // null: not written
    };

    // What one line writes before the sums, as the texts and numbers its fields are made of.
    struct LineValues {
        std::optional<qint64> quantity; // Ver1 of the room line; the other lines write the empty text
        QString Z1;
        std::optional<double> rate; // Ver3 of a room line whose rate was read
        QString rateText; // Ver3 otherwise
        QString Ver4;
        // The amount as the line's messages show it: the amount field's text (also for the
        // zero-amount test), or for the tourist tax Spare2's value as it is.
        QString amountText;
        // What Ver5 gets: that text, or Spare2 as the engine reads it as text (nothing when Spare2
        // has no value); not assigned when Spare2 could not even be read.
        enum class Amount { Text, Null, Unread } amount = Amount::Text;
        QString storedAmount;
    };

    void reportAmountWithoutText(const PreparedKind& kind);
    bool writeLine(const PreparedKind& kind, RunState& state);
    LineValues roomValues(const PreparedKind& kind, RunState& state);
    LineValues pricedValues(const PreparedKind& kind, RunState& state);
    LineValues touristTaxValues(const PreparedKind& kind);
    std::optional<double> readRate(const store::BoundField& rateField);
    qint64 quantity();
    QString roomText(const PreparedKind& kind, RunState& state);
    // The amount is the one Ver5 took, nothing when the engine refused it.
    void addToSums(const PreparedKind& kind, const LineValues& line, bool amountStored, RunState& state);
    void blankZeroAmount(const LineValues& line);
    void writeReservationMarks(const PreparedKind& kind);
    bool startRecord(const LineValues& line);
    bool saveRecord(const LineValues& line);
    // Each returns whether the field took the value; a refusal is logged with the field.
    bool assign(ChargeFieldId field, const QString& text);
    bool assign(ChargeFieldId field, qint64 number);
    bool assign(ChargeFieldId field, double number);
    bool assignNull(ChargeFieldId field);
    template <typename Assign, typename Shown>
    bool assignWith(ChargeFieldId field, Assign assign, Shown shown);
    void reportMissingReservationFields();

    store::DataControls& controls_;
    store::ReservationFields& reservation_;
    SettingsRates rates_;
    RunNumbers& numbers_;
    ImportLog& log_;
    std::array<PreparedKind, lineKinds.size()> kinds_;
    std::array<ChargeField, chargeFieldCount> chargeFields_;
    // What a queued line's report needs, in the order of the queue.
    struct QueuedLine {
        std::optional<qint64> reservation;
        QString Z1;
        QString amountText;
        std::optional<std::size_t> logPlace;
    };
    std::vector<QueuedLine> queuedLines_;
    int idIndex_ = -1;
    int spare2Index_ = -1;
    const QString emptyText_;
    const QString zeroRate_;
    const QString originMark_;
};

} // namespace tavik::import

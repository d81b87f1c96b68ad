#include "tools/SampleHotel.h"

#include "store/Connection.h"
#include "store/EngineError.h"
#include "store/Transaction.h"

#include <QDate>
#include <QFile>
#include <QStringList>

#include <array>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace tavik::tools {

using store::Connection;
using store::ErrorContext;
using store::quoteIdentifier;

namespace {

constexpr QLatin1String reservationsTable("Reservierungen");
constexpr QLatin1String settingsTable("Einstellungen");
constexpr QLatin1String articlesTable("Artikel");
constexpr QLatin1String chargesTable("Verzehr");
constexpr QLatin1String firstHelperTable("Tabelle1");
constexpr QLatin1String secondHelperTable("Tabelle2");

constexpr int standardTextSize = 50;
constexpr int lineTextSize = 255;

// Field groups of Reservierungen after ID, in the table's order.
constexpr int reFieldCount = 24;
constexpr int erwFieldCount = 25;
constexpr int optFieldCount = 5;
constexpr int spareFieldCount = 5;

// ------------------------------------------------------------------------ layout of the files

enum class FieldKind { Autonumber, Text, Memo };

struct FieldLayout {
    QString name;
    FieldKind kind;
    int size;
};

struct TableLayout {
    QString name;
    std::vector<FieldLayout> fields;
};

TableLayout keyedTable(const QString& name)
{
    return TableLayout { name, { FieldLayout { QStringLiteral("ID"), FieldKind::Autonumber, 0 } } };
}

void appendText(TableLayout& table, const QString& name, int size = standardTextSize)
{
    table.fields.push_back(FieldLayout { name, FieldKind::Text, size });
}

void appendTexts(TableLayout& table, const QString& prefix, int first, int last)
{
    for (int number = first; number <= last; ++number)
        appendText(table, prefix + QString::number(number));
}

void appendMemos(TableLayout& table, const QString& prefix, int first, int last)
{
    for (int number = first; number <= last; ++number)
        table.fields.push_back(FieldLayout { prefix + QString::number(number), FieldKind::Memo, 0 });
}

QStringList numberedNames(const QString& prefix, int count)
{
    QStringList names;
    for (int number = 1; number <= count; ++number)
        names << prefix + QString::number(number);
    return names;
}

QStringList reservationFieldNames()
{
    return numberedNames(QStringLiteral("Re"), reFieldCount)
        + numberedNames(QStringLiteral("Erw"), erwFieldCount)
        + numberedNames(QStringLiteral("Opt"), optFieldCount)
        + numberedNames(QStringLiteral("Spare"), spareFieldCount);
}

std::vector<TableLayout> olderEditionLayout()
{
    TableLayout reservations = keyedTable(reservationsTable);
    for (const QString& name : reservationFieldNames())
        appendText(reservations, name);
    TableLayout settings = keyedTable(settingsTable);
    appendText(settings, QStringLiteral("Hotelname"));
    appendText(settings, QStringLiteral("MwSt"));
    appendTexts(settings, QStringLiteral("Zusatz"), 1, 10);
    appendMemos(settings, QStringLiteral("Memo"), 1, 10);
    TableLayout articles = keyedTable(articlesTable);
    appendTexts(articles, QStringLiteral("Art"), 1, 10);
    TableLayout charges = keyedTable(chargesTable);
    appendTexts(charges, QStringLiteral("Ver"), 1, 10);
    appendText(charges, QStringLiteral("Z1"), lineTextSize);
    TableLayout firstHelper = keyedTable(firstHelperTable);
    appendTexts(firstHelper, QStringLiteral("Erw"), 1, 25);
    TableLayout secondHelper = keyedTable(secondHelperTable);
    appendTexts(secondHelper, QStringLiteral("Erw"), 1, 15);
    return { reservations, settings, articles, charges, firstHelper, secondHelper };
}

// The newer edition added its 35 fields at the end of three tables.
std::vector<TableLayout> newerEditionLayout()
{
    std::vector<TableLayout> layout = olderEditionLayout();
    for (TableLayout& table : layout) {
        if (table.name == settingsTable)
            appendMemos(table, QStringLiteral("memo"), 11, 20);
        else if (table.name == firstHelperTable)
            appendTexts(table, QStringLiteral("Erw"), 26, 40);
        else if (table.name == secondHelperTable)
            appendTexts(table, QStringLiteral("Erw"), 16, 25);
    }
    return layout;
}

QString columnDefinition(const FieldLayout& field)
{
    const QString name = quoteIdentifier(field.name);
    switch (field.kind) {
    case FieldKind::Autonumber:
        return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldKind::Memo:
        return name + QStringLiteral(" TEXT");
    case FieldKind::Text:
        break;
    }
    // The older edition allowed zero-length text in every field, so there is no <> '' check.
    return QStringLiteral("%1 VARCHAR(%2) CHECK(length(%1) <= %2)").arg(name, QString::number(field.size));
}

void createTables(Connection& connection, const std::vector<TableLayout>& layout)
{
    store::Transaction transaction(connection);
    for (const TableLayout& table : layout) {
        QStringList columns;
        for (const FieldLayout& field : table.fields)
            columns << columnDefinition(field);
        ErrorContext context = connection.context();
        context.table = table.name;
        connection.execute(QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(quoteIdentifier(table.name), columns.join(QStringLiteral(", "))),
            context);
    }
    transaction.commit();
}

QString insertSql(const QString& table, const QStringList& fields)
{
    if (fields.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(table));
    QStringList quoted;
    QStringList placeholders;
    for (const QString& field : fields) {
        quoted << quoteIdentifier(field);
        placeholders << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoteIdentifier(table), quoted.join(QStringLiteral(", ")),
            placeholders.join(QStringLiteral(", ")));
}

// A journal left behind by an earlier file would be played back into the new one.
void removeExistingFile(const QString& path)
{
    for (const QString& file : { path + QStringLiteral("-journal"), path + QStringLiteral("-wal"),
             path + QStringLiteral("-shm"), path }) {
        if (!QFile::exists(file) || QFile::remove(file))
            continue;
        ErrorContext context;
        context.file = file;
        throw store::EngineError(store::EngineError::Kind::CannotOpen, context,
            QStringLiteral("the existing file cannot be removed"));
    }
}

// ------------------------------------------------------------------------------- randomness

// splitmix64: a few lines that give the same sequence with every compiler and library, which the
// std:: distributions do not promise. Callers draw one number per statement, because C++ leaves
// the order of two draws inside one expression open.
class Dice {
public:
    explicit Dice(quint64 seed)
        : state_(seed)
    {
    }

    int below(int bound) { return static_cast<int>(next() % static_cast<quint64>(bound)); }
    int between(int lowest, int highest) { return lowest + below(highest - lowest + 1); }
    bool chance(int percent) { return below(100) < percent; }

    template <typename T, std::size_t N> const T& pick(const T (&items)[N])
    {
        return items[below(static_cast<int>(N))];
    }

private:
    quint64 next()
    {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    quint64 state_;
};

// ------------------------------------------------------------------------------ hotel content

constexpr int standardRate = 19;
constexpr int reducedRate = 7;
constexpr qint64 touristTaxPerPersonNight = 250;

struct RoomOffer {
    const char* text;
    int persons;
    int lowestEuros;
    int highestEuros;
};

constexpr RoomOffer roomOffers[] = {
    { "Einzelzimmer", 1, 49, 79 },
    { "Einzelzimmer", 1, 55, 85 },
    { "Doppelzimmer", 2, 69, 119 },
    { "Doppelzimmer", 2, 75, 129 },
    { "Doppelzimmer", 2, 79, 139 },
    { "Doppelzimmer zur Einzelnutzung", 1, 59, 99 },
    { "Dreibettzimmer", 3, 89, 139 },
    { "Suite", 2, 149, 249 },
    { "Appartement", 4, 99, 159 },
};

struct PricedText {
    const char* text;
    qint64 cents;
};

// Breakfast is listed thrice because most guests book it.
constexpr PricedText boardOffers[] = {
    { "Frühstück", 1200 },
    { "Frühstück", 1200 },
    { "Frühstück", 1200 },
    { "Halbpension", 2800 },
    { "Halbpension", 2800 },
    { "Vollpension", 4200 },
};

struct ExtraOffer {
    const char* text;
    int rate;
    qint64 cents;
    bool perNight;
};

constexpr ExtraOffer extraOffers[] = {
    { "Parkplatz", standardRate, 800, true },
    { "Garage", standardRate, 1200, true },
    { "Hund", standardRate, 1000, true },
    { "Minibar", standardRate, 650, false },
    { "Getränke", standardRate, 1480, false },
    { "Sauna", standardRate, 600, false },
    { "Zustellbett", reducedRate, 2000, true },
    { "Kinderbett", reducedRate, 1000, true },
    { "Fahrradverleih", standardRate, 900, false },
    { "Wäscheservice", standardRate, 800, false },
    { "Lunchpaket", reducedRate, 750, false },
    { "Telefon", standardRate, 340, false },
};

// Which Re/Erw fields hold text, rate and amount of each extra line, and how often it is used.
struct ExtraSlot {
    int textField;
    int rateField;
    int amountField;
    int percent;
};

constexpr ExtraSlot extraSlots[]
    = { { 13, 18, 14, 45 }, { 15, 19, 16, 25 }, { 21, 20, 22, 10 }, { 23, 21, 24, 5 } };

constexpr const char* familyNames[] = { "Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer",
    "Wagner", "Becker", "Schulz", "Hoffmann", "Schäfer", "Koch", "Bauer", "Richter", "Klein", "Wolf",
    "Schröder", "Neumann", "Schwarz", "Zimmermann", "Braun", "Krüger", "Hofmann", "Hartmann", "Lange",
    "Schmitt", "Werner", "Krause", "Meier", "Lehmann", "Schmid", "Schulze-Wendland" };

constexpr const char* givenNames[] = { "Hans", "Peter", "Klaus", "Wolfgang", "Jürgen", "Thomas", "Michael",
    "Andreas", "Stefan", "Frank", "Ursula", "Monika", "Petra", "Sabine", "Renate", "Birgit", "Andrea",
    "Gabriele", "Jörg", "Hans-Günter" };

constexpr const char* companies[] = { "Bergmann Maschinenbau GmbH", "Südwest Versicherung AG",
    "Stadtwerke Tannenau", "Kühne & Söhne KG", "Ingenieurbüro Falk", "Lindner Reisen" };

constexpr const char* remarks[] = { "Anreise spät, ca. 22 Uhr", "Nichtraucher", "Allergie: Nüsse",
    "Rechnung an Firma", "Ruhiges Zimmer gewünscht", "Stammgast", "Hund kommt mit" };

constexpr const char* employeeSigns[] = { "AB", "MK", "SL", "TW" };
constexpr const char* statuses[]
    = { "Reserviert", "Reserviert", "Angereist", "Abgereist", "Abgereist", "Storniert" };
constexpr const char* zeroAmounts[] = { "0,00", "0.00", "0" };

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString amountText(qint64 cents, QChar separator)
{
    return QString::number(cents / 100) + separator
        + QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString germanAmount(qint64 cents)
{
    return amountText(cents, QLatin1Char(','));
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

// ------------------------------------------------------------------------------ reservations

// One reservation's values in the table's field order after ID; an invalid QVariant is NULL.
class ReservationRecord {
public:
    static constexpr int fieldCount = reFieldCount + erwFieldCount + optFieldCount + spareFieldCount;

    void clear() { values_.fill(QVariant()); }
    QVariant& re(int number) { return values_[number - 1]; }
    QVariant& erw(int number) { return values_[reFieldCount + number - 1]; }
    QVariant& opt(int number) { return values_[reFieldCount + erwFieldCount + number - 1]; }
    QVariant& spare(int number) { return values_[reFieldCount + erwFieldCount + optFieldCount + number - 1]; }
    const QVariant& at(int index) const { return values_[index]; }

private:
    std::array<QVariant, fieldCount> values_;
};

struct Stay {
    const RoomOffer* offer;
    int persons;
    int halfNights; // whole halves, so that "2.5" nights need no floating point
    QDate arrival;

    int wholeNights() const { return (halfNights + 1) / 2; }
    qint64 forNights(qint64 centsPerNight) const { return centsPerNight * halfNights / 2; }
};

// Fills reservations the way users typed them, odd values included, since the migration has to
// read every form that occurs in real files.
class ReservationMaker {
public:
    explicit ReservationMaker(Dice& dice)
        : dice_(dice)
    {
    }

    void make(ReservationRecord& record);

private:
    Stay makeGuestAndStay(ReservationRecord& record);
    qint64 makeRoomLine(ReservationRecord& record, const Stay& stay);
    qint64 makeBoardLine(ReservationRecord& record, const Stay& stay);
    qint64 makeExtraLine(ReservationRecord& record, const ExtraSlot& slot, const Stay& stay);
    qint64 makeTouristTax(ReservationRecord& record, const Stay& stay);
    void makeStatus(ReservationRecord& record, const Stay& stay);

    QString guestName();
    int nightsInHalves();
    qint64 roomPrice(const RoomOffer& offer);
    QVariant roomQuantity();
    QVariant amount(qint64 cents);
    QVariant rate(int percent, int emptyPercent);
    QVariant emptyOrNull();

    Dice& dice_;
};

void ReservationMaker::make(ReservationRecord& record)
{
    record.clear();
    const Stay stay = makeGuestAndStay(record);
    qint64 total = makeRoomLine(record, stay);
    total += makeBoardLine(record, stay);
    for (const ExtraSlot& slot : extraSlots) {
        if (dice_.chance(slot.percent))
            total += makeExtraLine(record, slot, stay);
    }
    total += makeTouristTax(record, stay);
    record.re(17) = amount(total);
    makeStatus(record, stay);
}

Stay ReservationMaker::makeGuestAndStay(ReservationRecord& record)
{
    Stay stay;
    stay.offer = &dice_.pick(roomOffers);
    stay.persons = stay.offer->persons + (dice_.chance(8) ? 1 : 0);
    stay.halfNights = nightsInHalves();
    stay.arrival = QDate(2002, 1, 1).addDays(dice_.below(3 * 365));
    record.re(1) = guestName();
    record.re(2) = dateText(stay.arrival);
    record.re(3) = dateText(stay.arrival.addDays(stay.wholeNights()));
    const int floor = dice_.between(1, 3);
    record.re(4) = QString::number(floor * 100 + dice_.between(1, 24));
    record.re(5) = QString::number(stay.persons);
    record.re(6) = stay.halfNights % 2 == 0 ? QString::number(stay.halfNights / 2)
                                            : QString::number(stay.halfNights / 2) + QStringLiteral(".5");
    if (dice_.chance(12))
        record.re(7) = text(dice_.pick(companies));
    if (dice_.chance(15))
        record.re(8) = text(dice_.pick(remarks));
    return stay;
}

qint64 ReservationMaker::makeRoomLine(ReservationRecord& record, const Stay& stay)
{
    const qint64 pricePerNight = roomPrice(*stay.offer);
    const qint64 roomAmount = stay.forNights(pricePerNight);
    record.opt(1) = dice_.chance(6) ? emptyOrNull() : QVariant(text(stay.offer->text));
    record.re(9) = amount(pricePerNight);
    record.re(10) = amount(roomAmount);
    // An empty room rate is common: the reservation's rate in Re18 applies then.
    record.erw(16) = rate(reducedRate, 12);
    record.erw(12) = roomQuantity();
    record.erw(14) = dice_.chance(35) ? emptyOrNull() : QVariant(text(dice_.pick(employeeSigns)));
    record.re(18) = QString::number(dice_.chance(75) ? reducedRate : standardRate);
    return roomAmount;
}

qint64 ReservationMaker::makeBoardLine(ReservationRecord& record, const Stay& stay)
{
    if (!dice_.chance(75))
        return 0;
    const PricedText& board = dice_.pick(boardOffers);
    const qint64 boardAmount = stay.forNights(board.cents * stay.persons);
    record.re(11) = text(board.text);
    record.erw(17) = rate(standardRate, 3);
    record.re(12) = amount(boardAmount);
    return boardAmount;
}

qint64 ReservationMaker::makeExtraLine(ReservationRecord& record, const ExtraSlot& slot, const Stay& stay)
{
    const ExtraOffer& extra = dice_.pick(extraOffers);
    const qint64 units = extra.perNight ? stay.wholeNights() : dice_.between(1, 3);
    const qint64 lineAmount = dice_.chance(5) ? 0 : extra.cents * units;
    // Some users cleared a line's text but left its amount standing.
    record.re(slot.textField) = dice_.chance(4) ? emptyOrNull() : QVariant(text(extra.text));
    record.erw(slot.rateField) = rate(extra.rate, 4);
    record.re(slot.amountField) = amount(lineAmount);
    return lineAmount;
}

qint64 ReservationMaker::makeTouristTax(ReservationRecord& record, const Stay& stay)
{
    if (!dice_.chance(65))
        return 0;
    const qint64 tax = touristTaxPerPersonNight * stay.persons * stay.wholeNights();
    record.spare(1) = QStringLiteral("Kurtaxe");
    record.spare(2) = amount(tax);
    return tax;
}

void ReservationMaker::makeStatus(ReservationRecord& record, const Stay& stay)
{
    record.re(19) = text(dice_.pick(statuses));
    record.re(20) = dateText(stay.arrival.addDays(-dice_.between(1, 120)));
}

QString ReservationMaker::guestName()
{
    const QString family = text(dice_.pick(familyNames));
    const QString given = text(dice_.pick(givenNames));
    if (dice_.chance(10))
        return QStringLiteral("Familie ") + family;
    return family + QStringLiteral(", ") + given;
}

int ReservationMaker::nightsInHalves()
{
    const int roll = dice_.below(100);
    if (roll < 1)
        return 5;
    if (roll < 22)
        return 2;
    if (roll < 42)
        return 4;
    if (roll < 64)
        return 6;
    if (roll < 92)
        return 2 * dice_.between(4, 7);
    return 2 * dice_.between(8, 14);
}

qint64 ReservationMaker::roomPrice(const RoomOffer& offer)
{
    if (dice_.chance(2))
        return 0; // a free room, booked all the same
    const qint64 euros = dice_.between(offer.lowestEuros, offer.highestEuros);
    return euros * 100 + (dice_.chance(20) ? 50 : 0);
}

QVariant ReservationMaker::roomQuantity()
{
    const int roll = dice_.below(100);
    if (roll < 30)
        return QStringLiteral("");
    if (roll < 55)
        return {};
    return roll < 95 ? QStringLiteral("1") : QStringLiteral("2");
}

QVariant ReservationMaker::amount(qint64 cents)
{
    if (cents == 0)
        return text(dice_.pick(zeroAmounts));
    return amountText(cents, dice_.chance(4) ? QLatin1Char('.') : QLatin1Char(','));
}

QVariant ReservationMaker::rate(int percent, int emptyPercent)
{
    const int roll = dice_.below(100);
    if (roll < emptyPercent)
        return QStringLiteral("");
    if (roll < emptyPercent + 2)
        return {};
    if (roll < emptyPercent + 5)
        return QString::number(percent) + QStringLiteral(",0");
    return QString::number(percent);
}

QVariant ReservationMaker::emptyOrNull()
{
    return dice_.chance(50) ? QVariant(QStringLiteral("")) : QVariant();
}

// Amounts and rates as staff typed them when the field asked for a number they did not have or
// did not trust. None of them reads as a number, so the migration writes each such line but
// counts it to no sum, and logs one skipped operation per value.
constexpr const char* oddAmountForms[] = { "n.a.", "", "-", "EUR %1", "%1 EUR", "ca. %1", "%2,-" };
constexpr const char* oddRateForms[] = { "%1 %", "%1%", "%1 v.H.", "n.a.", "MwSt.", "inkl." };

// Puts odd values into a share of the price lines' amounts and rates. It draws from dice of its
// own, so the records around them stay those the seed makes without it.
class OddPrices {
public:
    OddPrices(quint64 seed, int percent)
        : dice_(seed ^ 0x6F64645072696365ULL)
        , percent_(percent)
    {
    }

    // Returns how many fields it changed.
    int apply(ReservationRecord& record)
    {
        if (percent_ <= 0)
            return 0;
        int changed = applyToLine(record.re(10), &record.erw(16));
        changed += applyToLine(record.re(12), &record.erw(17));
        for (const ExtraSlot& slot : extraSlots)
            changed += applyToLine(record.re(slot.amountField), &record.erw(slot.rateField));
        return changed + applyToLine(record.spare(2), nullptr);
    }

private:
    // A line is there when the sample gave it an amount; its rate may be empty.
    int applyToLine(QVariant& amount, QVariant* rate)
    {
        if (!amount.isValid())
            return 0;
        int changed = 0;
        if (dice_.chance(percent_)) {
            amount = oddAmount(amount.toString());
            ++changed;
        }
        if (rate && dice_.chance(percent_)) {
            *rate = oddRate(rate->toString());
            ++changed;
        }
        return changed;
    }

    QString oddAmount(const QString& typed)
    {
        const QString euros = typed.section(QLatin1Char(','), 0, 0).section(QLatin1Char('.'), 0, 0);
        return text(dice_.pick(oddAmountForms))
            .replace(QLatin1String("%1"), typed)
            .replace(QLatin1String("%2"), euros);
    }

    QString oddRate(const QString& typed)
    {
        const int fallback = dice_.chance(50) ? reducedRate : standardRate;
        const QString percent = typed.isEmpty() ? QString::number(fallback) : typed;
        return text(dice_.pick(oddRateForms)).replace(QLatin1String("%1"), percent);
    }

    Dice dice_;
    int percent_;
};

// Only the first reservations get charge lines, so a file with a million reservations still holds
// only a few of them.
constexpr std::size_t reservationsWithChargeLines = 8;

std::vector<qint64> insertReservations(
    Connection& connection, Dice& dice, const SampleOptions& options, SampleSummary& summary)
{
    ErrorContext context = connection.context();
    context.table = reservationsTable;
    store::Statement& insert
        = connection.cached(insertSql(reservationsTable, reservationFieldNames()), context);
    ReservationMaker maker(dice);
    OddPrices oddPrices(options.seed, options.oddPricePercent);
    ReservationRecord record;
    std::vector<qint64> firstIds;
    for (int made = 0; made < options.reservations; ++made) {
        maker.make(record);
        summary.oddPriceValues += oddPrices.apply(record);
        for (int index = 0; index < ReservationRecord::fieldCount; ++index)
            insert.bind(index + 1, record.at(index));
        insert.run();
        if (firstIds.size() < reservationsWithChargeLines)
            firstIds.push_back(connection.lastInsertRowId());
    }
    return firstIds;
}

// ------------------------------------------------------------------------ the other tables

void insertSettings(Connection& connection)
{
    insertRecord(connection, settingsTable,
        {
            { QStringLiteral("Hotelname"), QStringLiteral("Hotel Lindenhof") },
            { QStringLiteral("MwSt"), QStringLiteral("19") },
            { QStringLiteral("Zusatz1"), QStringLiteral("Lindenstraße 12") },
            { QStringLiteral("Zusatz2"), QStringLiteral("79822 Tannenau") },
            { QStringLiteral("Zusatz3"), QStringLiteral("Tel. 07651 9310") },
            { QStringLiteral("Zusatz4"), QStringLiteral("Fax 07651 93111") },
            { QStringLiteral("Zusatz5"), QStringLiteral("") },
            { QStringLiteral("Zusatz10"), QStringLiteral("7") },
            { QStringLiteral("Memo1"),
                QStringLiteral("Wir danken für Ihren Besuch und wünschen "
                               "Ihnen eine gute Heimreise.") },
            { QStringLiteral("Memo2"),
                QStringLiteral("Bankverbindung: Sparkasse Tannenau\r\n"
                               "Konto 123 456 78, BLZ 680 500 00") },
            { QStringLiteral("Memo3"), QStringLiteral("Zahlbar sofort ohne Abzug.") },
        });
}

struct ArticleEntry {
    const char* number;
    const char* name;
    const char* group;
    const char* price;
    const char* rate; // nullptr: no value
};

constexpr ArticleEntry articleList[] = {
    { "101", "Mineralwasser 0,5 l", "Getränke", "2,50", "19" },
    { "102", "Mineralwasser 0,25 l", "Getränke", "1,80", "19" },
    { "103", "Apfelsaftschorle 0,4 l", "Getränke", "3,20", "19" },
    { "104", "Cola 0,33 l", "Getränke", "2,60", "19" },
    { "105", "Orangensaft 0,2 l", "Getränke", "2,40", "19" },
    { "106", "Pils vom Fass 0,4 l", "Getränke", "3,40", "19" },
    { "107", "Weizenbier 0,5 l", "Getränke", "3,60", "19" },
    { "108", "Alkoholfreies Bier 0,33 l", "Getränke", "2,90", "19" },
    { "109", "Rotwein 0,2 l", "Getränke", "4,50", "19" },
    { "110", "Weißwein 0,2 l", "Getränke", "4,20", "19" },
    { "111", "Sekt 0,1 l", "Getränke", "3,90", "19" },
    { "112", "Kaffee", "Getränke", "2,20", "19" },
    { "113", "Cappuccino", "Getränke", "2,80", "19" },
    { "114", "Tee", "Getränke", "2,00", "19" },
    { "115", "Heiße Schokolade", "Getränke", "2,60", "19" },
    { "201", "Minibar Wasser", "Minibar", "2,00", "19" },
    { "202", "Minibar Bier", "Minibar", "3,00", "19" },
    { "203", "Minibar Schokoriegel", "Minibar", "1,50", "19" },
    { "204", "Minibar Erdnüsse", "Minibar", "2,50", "19" },
    { "205", "Minibar Piccolo", "Minibar", "6,50", "19,0" },
    { "301", "Frühstücksbuffet", "Speisen", "12,00", "19" },
    { "302", "Tagessuppe", "Speisen", "4,50", "19" },
    { "303", "Schnitzel mit Pommes frites", "Speisen", "11,80", "19" },
    { "304", "Käsespätzle", "Speisen", "9,50", "19" },
    { "305", "Salatteller", "Speisen", "8,20", "19" },
    { "306", "Apfelstrudel mit Sahne", "Speisen", "4,80", "19" },
    { "307", "Lunchpaket", "Speisen", "7,50", "7" },
    { "401", "Tageszeitung", "Sonstiges", "1,20", "7" },
    { "402", "Ansichtskarte", "Sonstiges", "0.80", "7" },
    { "403", "Briefmarke", "Sonstiges", "0,55", "" },
    { "404", "Telefoneinheit", "Sonstiges", "0,20", "19" },
    { "405", "Wäscheservice", "Sonstiges", "8,00", "19" },
    { "406", "Parkplatz", "Sonstiges", "8,00", "19" },
    { "407", "Garage", "Sonstiges", "12,00", "19" },
    { "408", "Hund", "Sonstiges", "10,00", "19" },
    { "409", "Fahrrad Tagesmiete", "Sonstiges", "9,00", "19" },
    { "410", "Sauna", "Sonstiges", "6,00", "19" },
    { "411", "Gutschein", "Sonstiges", "25,00", "" },
    { "501", "Kurtaxe", "Logis", "2,50", nullptr },
    { "502", "Zustellbett", "Logis", "20,00", "7" },
    { "503", "Kinderbett", "Logis", "0,00", "7" },
    { "504", "Anzahlung", "Logis", "0", nullptr },
};

void insertArticles(Connection& connection, SampleSummary& summary)
{
    for (const ArticleEntry& article : articleList) {
        const QVariant rate = article.rate ? QVariant(text(article.rate)) : QVariant();
        insertRecord(connection, articlesTable,
            { { QStringLiteral("Art1"), text(article.number) },
                { QStringLiteral("Art2"), text(article.name) },
                { QStringLiteral("Art3"), text(article.group) },
                { QStringLiteral("Art4"), text(article.price) }, { QStringLiteral("Art7"), rate } });
        ++summary.articles;
        if (!article.rate || *article.rate == '\0')
            ++summary.articlesWithoutRate;
    }
}

struct ChargeOffer {
    const char* category;
    const char* text;
    const char* rate;
    qint64 cents;
};

constexpr ChargeOffer chargeOffers[] = {
    { "Minibar", "Minibar Wasser", "19", 200 },
    { "Minibar", "Minibar Bier", "19", 300 },
    { "Minibar", "Minibar Erdnüsse", "19", 250 },
    { "Restaurant", "Pils vom Fass 0,4 l", "19", 340 },
    { "Restaurant", "Schnitzel mit Pommes frites", "19", 1180 },
    { "Restaurant", "Rotwein 0,2 l", "19", 450 },
    { "Restaurant", "Tagessuppe", "19", 450 },
};

int insertChargeLines(Connection& connection, Dice& dice, const std::vector<qint64>& reservationIds)
{
    int inserted = 0;
    for (const qint64 reservationId : reservationIds) {
        const int lines = dice.between(1, 3);
        for (int line = 1; line <= lines; ++line) {
            const ChargeOffer& charge = dice.pick(chargeOffers);
            const int quantity = dice.between(1, 2);
            insertRecord(connection, chargesTable,
                { { QStringLiteral("Ver1"), QString::number(quantity) },
                    { QStringLiteral("Ver2"), QString::number(line) },
                    { QStringLiteral("Ver3"), text(charge.rate) },
                    { QStringLiteral("Ver4"), germanAmount(charge.cents) },
                    { QStringLiteral("Ver5"), germanAmount(charge.cents * quantity) },
                    { QStringLiteral("Ver6"), QString::number(reservationId) },
                    { QStringLiteral("Ver8"), text(charge.category) },
                    { QStringLiteral("Z1"), text(charge.text) } });
            ++inserted;
        }
    }
    return inserted;
}

void insertHelperTableRecords(Connection& connection)
{
    const QString erw = QStringLiteral("Erw%1");
    const char* rooms[][3] = { { "101", "Einzelzimmer", "1" }, { "102", "Doppelzimmer", "2" },
        { "201", "Suite", "2" }, { "301", "Appartement", "4" } };
    for (const auto& room : rooms) {
        insertRecord(connection, firstHelperTable,
            { { erw.arg(1), text(room[0]) }, { erw.arg(2), text(room[1]) }, { erw.arg(3), text(room[2]) } });
    }
    const char* staff[][2] = { { "AB", "Anna Berger" }, { "MK", "Markus Kühn" }, { "SL", "Sabine Lorenz" } };
    for (const auto& member : staff)
        insertRecord(connection, secondHelperTable,
            { { erw.arg(1), text(member[0]) }, { erw.arg(2), text(member[1]) } });
}

SampleSummary fillOlderEditionFile(Connection& connection, const SampleOptions& options)
{
    SampleSummary summary;
    insertSettings(connection);
    insertArticles(connection, summary);
    Dice dice(options.seed);
    const std::vector<qint64> firstIds = insertReservations(connection, dice, options, summary);
    summary.reservations = options.reservations;
    summary.chargeLines = insertChargeLines(connection, dice, firstIds);
    insertHelperTableRecords(connection);
    return summary;
}

} // namespace

void createOlderEditionTables(Connection& connection)
{
    createTables(connection, olderEditionLayout());
}

void createNewerEditionTables(Connection& connection)
{
    createTables(connection, newerEditionLayout());
}

qint64 insertRecord(Connection& connection, const QString& table, const QVariantMap& fields)
{
    ErrorContext context = connection.context();
    context.table = table;
    store::Statement& insert = connection.cached(insertSql(table, fields.keys()), context);
    int index = 1;
    for (auto field = fields.cbegin(); field != fields.cend(); ++field)
        insert.bind(index++, field.value());
    insert.run();
    return connection.lastInsertRowId();
}

SampleSummary writeOlderEditionFile(const QString& path, const SampleOptions& options)
{
    if (options.reservations < 0)
        throw std::invalid_argument("the number of reservations must not be negative");
    if (options.oddPricePercent < 0 || options.oddPricePercent > 100)
        throw std::invalid_argument("the share of odd price values must lie between 0 and 100");
    removeExistingFile(path);
    store::OpenOptions openOptions;
    openOptions.create = true;
    openOptions.password = options.password;
    const auto connection = Connection::open(path, openOptions);
    store::Transaction transaction(*connection);
    createOlderEditionTables(*connection);
    const SampleSummary summary = fillOlderEditionFile(*connection, options);
    transaction.commit();
    connection->close();
    return summary;
}

void writeNewerEditionFile(const QString& path)
{
    removeExistingFile(path);
    store::OpenOptions openOptions;
    openOptions.create = true;
    const auto connection = Connection::open(path, openOptions);
    createNewerEditionTables(*connection);
    connection->close();
}

} // namespace tavik::tools

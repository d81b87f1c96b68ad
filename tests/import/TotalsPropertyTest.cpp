#include "ImportFixture.h"

#include "tests/support/ChargeTotals.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <initializer_list>
#include <random>

using namespace importfixture;
namespace testsupport = tavik::testsupport;

namespace {

// The fields that make up each priced line of a reservation: text, rate, amount.
struct PricedFields {
    const char* text;
    const char* rate;
    const char* amount;
};
constexpr PricedFields pricedLines[]
    = { { "Opt1", "Erw16", "Re10" }, { "Re11", "Erw17", "Re12" }, { "Re13", "Erw18", "Re14" },
          { "Re15", "Erw19", "Re16" }, { "Re21", "Erw20", "Re22" }, { "Re23", "Erw21", "Re24" } };

QString text(const QVariantMap& record, const char* field)
{
    return record.value(QString::fromLatin1(field)).toString();
}

// Money in cents, so that every comparison is exact.
struct Sums {
    qint64 MwSt = 0;
    qint64 Zusatz = 0;
    qint64 Null = 0;
};

struct Rates {
    std::optional<double> MwSt;
    std::optional<double> Zusatz;
};

// An amount as the files hold it: whole, or with point or comma and up to two decimals.
std::optional<qint64> centsOf(const QString& amount)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d+)(?:[.,](\\d{1,2}))?$"));
    const QRegularExpressionMatch match = shape.match(amount);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong() * 100 + match.captured(2).leftJustified(2, u'0').toLongLong();
}

// A plain rate in the user's format: digits, optionally the format's separator and digits.
std::optional<double> rateOf(const QString& rate, QChar separator)
{
    const QStringList parts = rate.split(separator);
    if (parts.size() > 2)
        return std::nullopt;
    for (const QString& part : parts) {
        if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
    }
    return parts.join(u'.').toDouble();
}

void addByRate(Sums& sums, double rate, qint64 cents, const Rates& settings)
{
    if (settings.MwSt == rate)
        sums.MwSt += cents;
    if (settings.Zusatz == rate)
        sums.Zusatz += cents;
    if (rate == 0.0)
        sums.Null += cents;
}

// What the reservation as typed must come to: the oracle, from the record before the import.
Sums expectedSums(const QVariantMap& typed, const Rates& settings, QChar separator, int& lines)
{
    Sums sums;
    for (const PricedFields& line : pricedLines) {
        if (text(typed, line.text).isEmpty())
            continue;
        ++lines;
        const QString rate = text(typed, line.rate).isEmpty() ? text(typed, "Re18") : text(typed, line.rate);
        const std::optional<double> rateValue = rateOf(rate, separator);
        const std::optional<qint64> cents = centsOf(text(typed, line.amount));
        if (rateValue && cents)
            addByRate(sums, *rateValue, *cents, settings);
    }
    if (!text(typed, "Spare1").isEmpty()) {
        ++lines;
        sums.Null += centsOf(text(typed, "Spare2")).value_or(0);
    }
    return sums;
}

Rates ratesOf(const QString& MwSt, const QString& Zusatz10, QChar separator)
{
    return Rates { rateOf(MwSt, separator), rateOf(Zusatz10, separator) };
}

QString describe(const Sums& sums)
{
    return QStringLiteral("%1/%2/%3").arg(sums.MwSt).arg(sums.Zusatz).arg(sums.Null);
}

// Every disagreement between a reservation's totals, its lines and what it was typed as.
QStringList disagreements(const QString& source, const QString& target, const QString& MwSt, const QString& Zusatz10,
    const QLocale& numberFormat)
{
    const QChar separator = numberFormat.decimalPoint().front();
    const Rates typedRates = ratesOf(MwSt, Zusatz10, separator);
    const testsupport::SettingsRates readRates = testsupport::readSettingsRates(MwSt, Zusatz10, numberFormat);
    const QList<QVariantMap> typed = records(source, reservations);
    const QList<QVariantMap> imported = records(target, reservations);
    QHash<QString, QList<QVariantMap>> linesOf; // in the order they were written
    for (const QVariantMap& line : records(target, charges)) {
        if (text(line, "Ver10") == QLatin1String("ZR"))
            linesOf[text(line, "Ver6")] << line;
    }
    QStringList found;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QString key = text(imported[i], "ID");
        const QVariantMap& after = imported[i];
        int lineCount = 0;
        const Sums expected = expectedSums(typed[i], typedRates, separator, lineCount);
        const QList<QVariantMap> lines = linesOf.value(key);
        const QStringList ofLines = testsupport::totalTexts(
            testsupport::totalsOfLines(lines, text(after, "Re18"), readRates, numberFormat), numberFormat);
        const QStringList writtenTexts { text(after, "Erw17"), text(after, "Erw18"), text(after, "Erw19"),
            text(after, "Re17") };
        const Sums written { centsOf(text(after, "Erw17")).value_or(-1),
            centsOf(text(after, "Erw18")).value_or(-1), centsOf(text(after, "Erw19")).value_or(-1) };
        if (writtenTexts != ofLines || describe(written) != describe(expected))
            found << QStringLiteral("%1: written %2, lines %3, typed %4")
                         .arg(key, writtenTexts.join(u'/'), ofLines.join(u'/'), describe(expected));
        if (centsOf(text(after, "Re17")) != written.MwSt + written.Zusatz + written.Null)
            found << QStringLiteral("%1: total %2").arg(key, text(after, "Re17"));
        if (lines.size() != lineCount)
            found << QStringLiteral("%1: %2 lines, %3 typed").arg(key).arg(lines.size()).arg(lineCount);
        // As text: an empty tourist tax is written through its bound field, which clears Erw20.
        if (text(after, "Erw20") != text(typed[i], "Spare2"))
            found << QStringLiteral("%1: Erw20 %2").arg(key, text(after, "Erw20"));
    }
    return found;
}

// Reservations as users typed them, every odd form included, the same for the same seed.
class RandomReservations {
public:
    explicit RandomReservations(quint64 seed)
        : dice_(seed)
    {
    }

    QVariantMap next()
    {
        QVariantMap record;
        record.insert("Re18", pick({ "19", "7", "7", "19", "" }));
        record.insert("Re6", QString::number(1 + below(5)));
        for (const PricedFields& line : pricedLines) {
            record.insert(line.text, below(100) < 55 ? QVariant(QStringLiteral("Posten")) : emptyOrNull());
            record.insert(line.rate, pick({ "19", "7", "0", "16", "", nullptr }));
            record.insert(line.amount, amount());
        }
        record.insert("Spare1", below(2) == 0 ? QVariant(QStringLiteral("Kurtaxe")) : emptyOrNull());
        record.insert("Spare2", below(10) == 0 ? QVariant() : amount());
        return record;
    }

private:
    int below(int bound) { return static_cast<int>(dice_() % static_cast<quint64>(bound)); }

    QVariant pick(std::initializer_list<const char*> texts)
    {
        const char* chosen = texts.begin()[below(static_cast<int>(texts.size()))];
        return chosen ? QVariant(QString::fromLatin1(chosen)) : QVariant();
    }

    QVariant emptyOrNull() { return below(2) == 0 ? QVariant(QStringLiteral("")) : QVariant(); }

    QVariant amount()
    {
        const int roll = below(100);
        if (roll < 10)
            return emptyOrNull();
        if (roll < 20)
            return pick({ "0", "0,00", "0.00" });
        const int cents = 1 + below(99999);
        const QChar separator = below(4) == 0 ? u'.' : u',';
        return QString::number(cents / 100) + separator
            + QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
    }

    std::mt19937_64 dice_;
};

} // namespace

// For every reservation: the totals written back equal its written lines grouped by rate, and
// both equal what the reservation was typed as.
class TotalsPropertyTest : public QObject {
    Q_OBJECT

private slots:
    void randomReservationsTotalEqualTheirLines_data();
    void randomReservationsTotalEqualTheirLines();
    void sampleHotelTotalsEqualTheirLines_data();
    void sampleHotelTotalsEqualTheirLines();
};

void TotalsPropertyTest::randomReservationsTotalEqualTheirLines_data()
{
    QTest::addColumn<QLocale>("numberFormat");
    QTest::addColumn<QString>("MwSt");
    QTest::addColumn<QString>("Zusatz10");
    QTest::addColumn<quint64>("seed");
    QTest::newRow("German, rates 19 and 7") << german << "19"
                                            << "7" << quint64(1);
    QTest::newRow("C, rates 19 and 7") << QLocale::c() << "19"
                                       << "7" << quint64(2);
    QTest::newRow("German, equal rates 7 and 7") << german << "7"
                                                 << "7" << quint64(3);
    QTest::newRow("C, second rate 0") << QLocale::c() << "19"
                                      << "0" << quint64(4);
    QTest::newRow("German, standard rate 16") << german << "16"
                                              << "7" << quint64(5);
}

void TotalsPropertyTest::randomReservationsTotalEqualTheirLines()
{
    QFETCH(QLocale, numberFormat);
    QFETCH(QString, MwSt);
    QFETCH(QString, Zusatz10);
    QFETCH(quint64, seed);
    QTemporaryDir dir;
    const HotelFiles files(dir.path(), MwSt, Zusatz10);
    RandomReservations random(seed);
    QList<QVariantMap> typed;
    for (int i = 0; i < 300; ++i)
        typed << random.next();
    files.addReservations(typed);
    // The oracle reads the reservations as typed from a copy made before the import.
    const QString asTyped = dir.filePath(QStringLiteral("as_typed.mdb"));
    QVERIFY(QFile::copy(files.target, asTyped));

    const RunOutcome outcome = runOn(files, numberFormat);

    QCOMPARE(outcome.result.reservationsWalked, 300);
    const QStringList found = disagreements(asTyped, files.target, MwSt, Zusatz10, numberFormat);
    QVERIFY2(found.isEmpty(), qPrintable(found.mid(0, 10).join(u'\n')));
}

void TotalsPropertyTest::sampleHotelTotalsEqualTheirLines_data()
{
    QTest::addColumn<QLocale>("numberFormat");
    QTest::newRow("sample hotel, German") << german;
    QTest::newRow("sample hotel, C") << QLocale::c();
}

void TotalsPropertyTest::sampleHotelTotalsEqualTheirLines()
{
    QFETCH(QLocale, numberFormat);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("tavik_20.mdb"));
    const QString target = dir.filePath(QStringLiteral("tavik_50.mdb"));
    tavik::tools::SampleOptions options;
    options.reservations = 500;
    tavik::tools::writeOlderEditionFile(source, options);
    QVERIFY(QFile::copy(source, target));
    const QByteArray sourceBefore = bytesOf(source);

    const RunOutcome outcome = runOn(target, source, numberFormat);

    QCOMPARE(outcome.result.reservationsWalked, 500);
    QVERIFY(outcome.result.chargeLinesWritten > 500);
    QCOMPARE(bytesOf(source), sourceBefore);
    const QStringList found = disagreements(source, target, QStringLiteral("19"), QStringLiteral("7"), numberFormat);
    QVERIFY2(found.isEmpty(), qPrintable(found.mid(0, 10).join(u'\n')));
}

QTEST_GUILESS_MAIN(TotalsPropertyTest)
#include "TotalsPropertyTest.moc"

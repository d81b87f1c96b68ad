#include "ChargeTotals.h"

#include "import/ImportNumbers.h"
#include "store/NumberText.h"

#include <cmath>

namespace tavik::testsupport {

namespace {

QString textOf(const QVariantMap& record, const char* field)
{
    return record.value(QString::fromLatin1(field)).toString();
}

// A total too large for a double is written as the empty text.
QString totalText(double total, const QLocale& numberFormat)
{
    return std::isfinite(total) ? store::numberToText(total, numberFormat) : QString();
}

} // namespace

SettingsRates readSettingsRates(const QString& MwSt, const QString& Zusatz10, const QLocale& numberFormat)
{
    return { store::readStrict(MwSt, numberFormat), store::readStrict(Zusatz10, numberFormat) };
}

ChargeTotals totalsOfLines(const QList<QVariantMap>& lines, const QString& reservationRate,
    const SettingsRates& settings, const QLocale& numberFormat)
{
    ChargeTotals totals;
    for (const QVariantMap& line : lines) {
        const std::optional<double> amount = import::readAmount(textOf(line, "Ver5"), numberFormat);
        if (!amount)
            continue; // a blanked free line, or one without amount
        if (textOf(line, "Ver8") == QLatin1String("Steuer/Kurtaxe")) {
            totals.Null += *amount;
            continue;
        }
        QString rateText = textOf(line, "Ver3");
        // Board and extra lines keep an empty rate field, which stands for the reservation's rate.
        if (rateText.isEmpty() && textOf(line, "Ver8") != QLatin1String("Zimmerangebot"))
            rateText = reservationRate;
        const std::optional<double> rate = store::readStrict(rateText, numberFormat);
        if (!rate)
            continue;
        // Three independent tests, as the import makes them: a line may go into two sums, or none.
        if (settings.MwSt == *rate)
            totals.MwSt += *amount;
        if (settings.Zusatz10 == *rate)
            totals.Zusatz += *amount;
        if (*rate == 0.0)
            totals.Null += *amount;
    }
    return totals;
}

QStringList totalTexts(const ChargeTotals& totals, const QLocale& numberFormat)
{
    return { totalText(totals.MwSt, numberFormat), totalText(totals.Zusatz, numberFormat),
        totalText(totals.Null, numberFormat), totalText(totals.MwSt + totals.Zusatz + totals.Null, numberFormat) };
}

} // namespace tavik::testsupport

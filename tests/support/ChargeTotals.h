#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace tavik::testsupport {

// The settings' two rates as the import reads them; a rate that is no number matches no line.
struct SettingsRates {
    std::optional<double> MwSt;
    std::optional<double> Zusatz10;
};
SettingsRates readSettingsRates(const QString& MwSt, const QString& Zusatz10, const QLocale& numberFormat);

struct ChargeTotals {
    double MwSt = 0.0;
    double Zusatz = 0.0;
    double Null = 0.0;
};

// The sums a reservation's stored charge lines come to, each line by the rate it shows: its own
// rate field, or the reservation's rate where a board or extra line left it empty. Read with the
// import's own number readings and added in line order as the import adds them, so that the
// doubles agree exactly.
ChargeTotals totalsOfLines(const QList<QVariantMap>& lines, const QString& reservationRate,
    const SettingsRates& settings, const QLocale& numberFormat);

// Erw17, Erw18, Erw19 and Re17 as the import writes them for these totals.
QStringList totalTexts(const ChargeTotals& totals, const QLocale& numberFormat);

} // namespace tavik::testsupport

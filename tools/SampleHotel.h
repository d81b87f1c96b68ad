#pragma once

#include <QString>
#include <QVariantMap>
#include <QtGlobal>

namespace tavik::store {
class Connection;
}

namespace tavik::tools {

struct SampleOptions {
    int reservations = 250;
    quint64 seed = 2003;
    QString password; // empty: the file carries no password
    // Percent of the price lines' amounts and rates typed as no number ("19 %", "n.a.", "EUR 89,00",
    // nothing). 0 leaves every record as the seed alone makes it; above 0 the same records come out
    // with only those fields changed.
    int oddPricePercent = 0;
};

// What an older edition's sample file holds, so callers need not count it again.
struct SampleSummary {
    int reservations = 0;
    int articles = 0;
    int articlesWithoutRate = 0; // Art7 empty or NULL
    int chargeLines = 0; // records already in Verzehr
    int oddPriceValues = 0; // amounts and rates given an odd value
};

// Writes a realistic older edition's data file: one settings record, the article list, the given
// number of reservations and a few charge lines. The same seed gives the same records on every
// platform. Replaces any file at path.
SampleSummary writeOlderEditionFile(const QString& path, const SampleOptions& options);

// Writes a newer edition's data file: the newer layout with empty tables and no password.
// Replaces any file at path.
void writeNewerEditionFile(const QString& path);

// Building blocks for tests that need their own odd files.
void createOlderEditionTables(store::Connection& connection);
// The older tables plus the 35 fields only the newer edition has.
void createNewerEditionTables(store::Connection& connection);
// A field given an invalid QVariant is written as NULL. Returns the new record's ID.
qint64 insertRecord(store::Connection& connection, const QString& table, const QVariantMap& fields);

} // namespace tavik::tools

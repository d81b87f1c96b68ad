#include "app/OlderFileCheck.h"

#include "import/ImportTexts.h"
#include "store/Database.h"
#include "store/EngineError.h"
#include "store/TableSchema.h"

#include <algorithm>

namespace tavik::app {

namespace {
// The key alone does not count: any table can have an ID.
bool holdsAnyField(const store::TableSchema& table, const QStringList& fields)
{
    return std::any_of(fields.cbegin(), fields.cend(), [&table](const QString& field) {
        return field.compare(QLatin1String("ID"), Qt::CaseInsensitive) != 0 && table.indexOf(field) >= 0;
    });
}

// A table declared WITHOUT ROWID: the walk would fail only after the copy had replaced the target.
bool hasRowNumbers(store::Connection& connection, const QString& table)
{
    try {
        connection.prepare(QStringLiteral("SELECT rowid FROM %1 LIMIT 0").arg(store::quoteIdentifier(table)));
        return true;
    } catch (const store::EngineError&) {
        return false;
    }
}
} // namespace

OlderFileFindings examineOlderFile(store::Engine& engine, const QString& path, const QStringList& reservationFields)
{
    using Verdict = OlderFileFindings::Verdict;
    try {
        store::Database older = engine.openDatabase(path, false, true);
        const bool holdsReservations
            = store::TableSchema::tableExists(older.connection(), import::texts::reservationsTable)
            && holdsAnyField(
                store::TableSchema::read(older.connection(), import::texts::reservationsTable), reservationFields);
        if (!holdsReservations)
            return { Verdict::WithoutReservations, {} };
        if (!hasRowNumbers(older.connection(), import::texts::reservationsTable))
            return { Verdict::WithoutRowNumbers, {} };
        // SQLite reads a damaged page as garbage as often as it refuses it, and the copy would carry
        // the damage into the newer edition's file: every page is checked once before. Each page is
        // read once, so a small cache does; a full one would stay with this thread's memory.
        older.connection().execute(QStringLiteral("PRAGMA cache_size = -256"));
        const bool whole = older.connection().integrityCheck() == QLatin1String("ok");
        older.close();
        return { whole ? Verdict::Usable : Verdict::Damaged, {} };
    } catch (const store::EngineError& error) {
        if (error.kind() == store::EngineError::Kind::NotADataFile)
            return { Verdict::Unreadable, store::germanMessage(error) };
    }
    return {};
}

OlderFileCheck::OlderFileCheck(store::Engine& engine, const QString& path, const QStringList& reservationFields)
    : path_(path)
    , findings_(std::async(std::launch::async, examineOlderFile, std::ref(engine), path, reservationFields))
{
}

OlderFileFindings OlderFileCheck::findings()
{
    return findings_.get();
}

} // namespace tavik::app

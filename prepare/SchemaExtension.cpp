#include "prepare/SchemaExtension.h"

#include "prepare/PrepareTexts.h"
#include "store/Database.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "store/Transaction.h"

#include <optional>

namespace tavik::prepare {

namespace {

using store::EngineError;

// The numbered fields one method adds to one table.
struct FieldSeries {
    const char* table;
    const char* prefix;
    int first;
    int last;
    store::FieldType type;
    int size; // 0 for memo fields: they take the engine's memo default
};

constexpr FieldSeries einstellungenMemos { "Einstellungen", "memo", 11, 20, store::FieldType::Memo, 0 };
constexpr FieldSeries tabelle1Texts { "Tabelle1", "Erw", 26, 40, store::FieldType::Text, 50 };
constexpr FieldSeries tabelle2Texts { "Tabelle2", "Erw", 16, 25, store::FieldType::Text, 50 };

QString fieldName(const FieldSeries& series, int number)
{
    return QString::fromLatin1(series.prefix) + QString::number(number);
}

// Each field is added inside a savepoint of its own: one that fails is taken back alone, and the
// fields before it stay in the task's transaction.
void appendField(store::Database& database, store::TableDef& table, const FieldSeries& series, int number)
{
    store::FieldDef field = table.createField(fieldName(series, number), series.type, series.size);
    // A new field refuses the empty text unless told otherwise, and the newer edition stores it there.
    field.allowZeroLength = true;
    store::Transaction savepoint(database.connection());
    table.append(field);
    savepoint.commit();
}

// One entry for the fields a method never reached, so the log says what the file still lacks.
void logNotAdded(store::RunLog& log, const FieldSeries& series, int fromNumber)
{
    if (fromNumber > series.last)
        return;
    log.skipped(
        store::SkippedOperation { store::RunTask::Fields, texts::fieldsNotAdded(), QString::fromLatin1(series.table),
            std::nullopt, texts::fieldRange(fieldName(series, fromNumber), fieldName(series, series.last)), QString(),
            texts::stoppedAtError() });
}

void addSeriesUntilFirstError(
    store::Engine& engine, const QString& path, const FieldSeries& series, int& added)
{
    store::Database database = engine.openDatabase(path);
    store::TableDef table = database.tableDef(QString::fromLatin1(series.table));
    for (int number = series.first; number <= series.last; ++number) {
        appendField(database, table, series, number);
        ++added;
    }
    database.close();
}

using StoppingMethod = void (*)(store::Engine&, const QString&, int&);

int runAndLogWhatLeaves(StoppingMethod method, const FieldSeries& series, store::Engine& engine,
    const QString& path, store::RunLog& log)
{
    int added = 0;
    try {
        method(engine, path, added);
    } catch (const EngineError& error) {
        log.skipped(store::RunTask::Fields, error);
        logNotAdded(log, series, series.first + added);
    }
    return added;
}

} // namespace

int neue_Felder2(store::Engine& engine, const QString& Datenpfad_neu, store::RunLog& log)
{
    const FieldSeries& series = einstellungenMemos;
    // Without a handle or a table every later step would fail for the same cause: one entry says it.
    std::optional<store::Database> database;
    std::optional<store::TableDef> table;
    try {
        database.emplace(engine.openDatabase(Datenpfad_neu));
        table.emplace(database->tableDef(QString::fromLatin1(series.table)));
    } catch (const EngineError& error) {
        log.skipped(store::RunTask::Fields, error);
        logNotAdded(log, series, series.first);
        return 0;
    }
    int added = 0;
    for (int number = series.first; number <= series.last; ++number) {
        try {
            appendField(*database, *table, series, number);
            ++added;
        } catch (const EngineError& error) {
            log.skipped(store::RunTask::Fields, error);
        }
    }
    database->close();
    return added;
}

void neue_Felder3(store::Engine& engine, const QString& Datenpfad_neu, int& added)
{
    addSeriesUntilFirstError(engine, Datenpfad_neu, tabelle1Texts, added);
}

void neue_Felder6(store::Engine& engine, const QString& Datenpfad_neu, int& added)
{
    addSeriesUntilFirstError(engine, Datenpfad_neu, tabelle2Texts, added);
}

// The three methods share the file's connection, and with it one transaction: one commit with its
// syncs for all 35 fields instead of one for each.
SchemaExtension extendSchema(store::Engine& engine, const QString& Datenpfad_neu, store::RunLog& log)
{
    std::shared_ptr<store::Connection> connection;
    std::optional<store::Transaction> transaction;
    try {
        connection = engine.connect(Datenpfad_neu, store::OpenOptions {});
        transaction.emplace(*connection);
    } catch (const EngineError&) {
        // Each method opens the file itself and says why it cannot.
    }
    SchemaExtension result;
    result.addedToEinstellungen = neue_Felder2(engine, Datenpfad_neu, log);
    result.addedToTabelle1 = runAndLogWhatLeaves(neue_Felder3, tabelle1Texts, engine, Datenpfad_neu, log);
    result.addedToTabelle2 = runAndLogWhatLeaves(neue_Felder6, tabelle2Texts, engine, Datenpfad_neu, log);
    if (!transaction)
        return result;
    try {
        transaction->commit();
    } catch (const EngineError& error) {
        // SQLite took the transaction back (a full disk, an I/O error): no field stayed.
        log.skipped(store::RunTask::Fields, error);
        for (const FieldSeries* series : { &einstellungenMemos, &tabelle1Texts, &tabelle2Texts })
            logNotAdded(log, *series, series->first);
        return SchemaExtension {};
    }
    return result;
}

} // namespace tavik::prepare

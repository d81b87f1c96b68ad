#include "import/ImportLog.h"

#include "import/ImportTexts.h"
#include "store/EngineError.h"
#include "store/RunLog.h"

namespace tavik::import {

ImportLog::ImportLog(store::RunLog& log)
    : log_(log)
{
}

void ImportLog::engineError(const QString& operation, const QString& table, const QString& field,
    const QString& value, const store::EngineError& error)
{
    const store::ErrorContext& context = error.context();
    const QString& entryTable = table.isEmpty() ? context.table : table;
    // The engine's key belongs to the table it names, which need not be the entry's.
    const std::optional<qint64> ownKey
        = entryTable.compare(context.table, Qt::CaseInsensitive) == 0 ? context.recordKey : std::nullopt;
    add(operation, entryTable, ownKey, field.isEmpty() ? context.field : field, value, store::germanMessage(error), &error);
}

void ImportLog::skipped(const QString& operation, const QString& table, const QString& field,
    const QString& value, const QString& reason)
{
    add(operation, table, std::nullopt, field, value, reason, nullptr);
}

void ImportLog::add(const QString& operation, const QString& table, std::optional<qint64> ownKey,
    const QString& field, const QString& value, const QString& reason, const store::EngineError* error)
{
    store::SkippedOperation entry { store::RunTask::Import, operation, table, reservation_, field, value, reason };
    if (error) {
        entry.sqliteCode = error->extendedCode();
        entry.sqliteMessage = error->sqliteMessage();
    }
    if (table.compare(texts::reservationsTable, Qt::CaseInsensitive) != 0) {
        entry.recordKey = ownKey;
        if (reservation_) {
            entry.ownerTable = texts::reservationsTable;
            entry.ownerKey = reservation_;
        }
    }
    log_.skipped(std::move(entry));
    ++count_;
}

} // namespace tavik::import

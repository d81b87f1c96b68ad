#include "import/ImportLog.h"

#include "import/ImportTexts.h"
#include "store/EngineError.h"
#include "store/RunLog.h"

#include <utility>

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
    ++count_;
    if (holding_) {
        held_.emplace_back(std::move(entry));
        return;
    }
    log_.skipped(std::move(entry));
}

std::optional<std::size_t> ImportLog::placeForStore()
{
    if (!holding_)
        return std::nullopt;
    held_.emplace_back();
    return held_.size() - 1;
}

void ImportLog::storeFailed(std::optional<std::size_t> place, std::optional<qint64> reservation,
    const QString& operation, const QString& table, const QString& value, const store::EngineError& error)
{
    const std::optional<qint64> current = std::exchange(reservation_, reservation);
    const bool wasHolding = std::exchange(holding_, place.has_value());
    engineError(operation, table, QString(), value, error);
    if (place) {
        held_[*place] = std::move(held_.back());
        held_.pop_back();
    }
    holding_ = wasHolding;
    reservation_ = current;
}

void ImportLog::release()
{
    holding_ = false;
    for (std::optional<store::SkippedOperation>& entry : held_) {
        if (entry)
            log_.skipped(std::move(*entry));
    }
    held_.clear();
}

} // namespace tavik::import

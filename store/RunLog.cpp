#include "store/RunLog.h"

#include "store/StoreTexts.h"
#include "store/VisibleText.h"

#include <QStringList>

namespace tavik::store {

void RunLog::skipped(SkippedOperation operation)
{
    ++total_;
    ++countByTask_[operation.task];
    for (SkippedSink* sink : std::as_const(sinks_))
        sink->add(operation);
    if (first_.size() < keptEntries)
        first_.append(std::move(operation));
}

void RunLog::skipped(RunTask task, const EngineError& error, const QString& value)
{
    const ErrorContext& context = error.context();
    SkippedOperation operation{task, germanOperation(context), context.table, context.recordKey, context.field, value,
                               germanMessage(error)};
    operation.sqliteCode = error.extendedCode();
    operation.sqliteMessage = error.sqliteMessage();
    skipped(std::move(operation));
}

namespace {
// A field can hold megabytes; a line of the log shows enough of it to find the record.
QString shortened(const QString& value)
{
    constexpr qsizetype shown = 200;
    return value.size() <= shown ? value : value.left(shown) + QStringLiteral("… (%1 Zeichen)").arg(value.size());
}
} // namespace

QString RunLog::describe(const SkippedOperation& operation)
{
    QStringList parts{texts::taskName(operation.task)};
    if (!operation.operation.isEmpty())
        parts << operation.operation;
    if (!operation.table.isEmpty())
        parts << QStringLiteral("Tabelle %1").arg(operation.table);
    if (operation.recordKey)
        parts << QStringLiteral("Datensatz %1").arg(*operation.recordKey);
    if (!operation.field.isEmpty())
        parts << QStringLiteral("Feld %1").arg(operation.field);
    if (!operation.ownerTable.isEmpty())
        parts << (operation.ownerKey ? QStringLiteral("gehört zu Tabelle %1, Datensatz %2")
                                           .arg(operation.ownerTable)
                                           .arg(*operation.ownerKey)
                                     : QStringLiteral("gehört zu Tabelle %1").arg(operation.ownerTable));
    if (!operation.value.isNull())
        parts << QStringLiteral("Wert \"%1\"").arg(shortened(operation.value));
    parts << (operation.sqliteCode == 0 ? operation.reason
                                        : QStringLiteral("%1 (SQLite-Code %2)").arg(operation.reason).arg(operation.sqliteCode));
    return visibleText(parts.join(QStringLiteral(" – ")));
}

} // namespace tavik::store

#include "store/RunLog.h"

#include "store/FileReplace.h"
#include "store/VisibleText.h"

#include <QStringList>

namespace tavik::store {

void RunLog::skipped(const QString& task, const EngineError& error, const QString& value)
{
    const ErrorContext& context = error.context();
    skipped_.append(SkippedOperation{task, germanOperation(context.operation), context.table, context.recordKey, context.field, value,
                                     germanMessage(error) + QStringLiteral(" (") + error.sqliteMessage() + QLatin1Char(')')});
}

namespace {
// A field can hold megabytes; a line of the log shows enough of it to find the record.
QString shortened(const QString& value)
{
    constexpr qsizetype shown = 200;
    return value.size() <= shown ? value : value.left(shown) + QStringLiteral("… (%1 Zeichen)").arg(value.size());
}
} // namespace

int RunLog::skippedCount(const QString& task) const
{
    int count = 0;
    for (const SkippedOperation& operation : skipped_)
        count += operation.task == task ? 1 : 0;
    return count;
}

bool RunLog::writeTo(const QString& path) const
{
    QStringList lines;
    for (const QString& note : notes_)
        lines << visibleText(note);
    lines << QStringLiteral("Übersprungene Vorgänge: %1").arg(skipped_.size());
    for (const SkippedOperation& operation : skipped_)
        lines << describe(operation);
    // It lists guests' names and values from the data files: for its owner's eyes only.
    return writeOwnerOnlyFile(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

QString RunLog::describe(const SkippedOperation& operation)
{
    QStringList parts{operation.task};
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
    parts << operation.reason;
    return visibleText(parts.join(QStringLiteral(" – ")));
}

} // namespace tavik::store

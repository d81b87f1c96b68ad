#include "store/RunLog.h"

#include "store/StoreTexts.h"
#include "store/VisibleText.h"

#include <QStringList>

#include <algorithm>
#include <charconv>

namespace tavik::store {

void RunLog::skipped(SkippedOperation operation)
{
    ++total_;
    ++countByTask_[operation.task];
    if (operation.sqliteCode != 0
        && EngineError::kindOfSqliteCode(operation.sqliteCode) == EngineError::Kind::NotADataFile)
        ++damaged_;
    for (SkippedSink* sink : std::as_const(sinks_))
        sink->add(operation);
    if (first_.size() < keptEntries)
        first_.append(std::move(operation));
}

void RunLog::skipped(RunTask task, const EngineError& error, const QString& value)
{
    const ErrorContext& context = error.context();
    SkippedOperation operation { task, germanOperation(context), context.table, context.recordKey, context.field, value,
        germanMessage(error) };
    operation.sqliteCode = error.extendedCode();
    // Only SQLite's own words: the engine's checks (field size, empty text) have their German reason.
    if (operation.sqliteCode != 0)
        operation.sqliteMessage = error.sqliteMessage();
    skipped(std::move(operation));
}

namespace {
// A field can hold megabytes; a line of the log shows enough of it to find the record.
constexpr qsizetype shownOfValue = 200;

QString shortened(const QString& value)
{
    return value.size() <= shownOfValue ? value
                                        : value.left(shownOfValue) + QStringLiteral("… (%1 Zeichen)").arg(value.size());
}
} // namespace

// Built in one piece instead of a list of formatted parts: a run can log hundreds of thousands.
QString RunLog::describe(const SkippedOperation& operation)
{
    constexpr QStringView separator = u" – ";
    QString line;
    line.reserve(128 + std::min<qsizetype>(operation.value.size(), 256));
    line.append(texts::taskName(operation.task));
    if (!operation.operation.isEmpty())
        line.append(separator).append(operation.operation);
    if (!operation.table.isEmpty())
        line.append(separator).append(u"Tabelle ").append(operation.table);
    if (operation.recordKey) {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, *operation.recordKey);
        line.append(separator).append(u"Datensatz ").append(QLatin1StringView(digits, written.ptr - digits));
    }
    if (!operation.field.isEmpty())
        line.append(separator).append(u"Feld ").append(operation.field);
    if (!operation.ownerTable.isEmpty())
        line.append(separator).append(operation.ownerKey
                ? QStringLiteral("gehört zu Tabelle %1, Datensatz %2")
                      .arg(operation.ownerTable, QString::number(*operation.ownerKey))
                : QStringLiteral("gehört zu Tabelle %1").arg(operation.ownerTable));
    if (!operation.value.isNull())
        line.append(separator).append(u"Wert \"").append(shortened(operation.value)).append(u'"');
    line.append(separator);
    if (operation.sqliteCode == 0)
        line.append(operation.reason);
    else
        line.append(QStringLiteral("%1 (SQLite-Code %2)").arg(operation.reason, QString::number(operation.sqliteCode)));
    return visibleText(line);
}

} // namespace tavik::store

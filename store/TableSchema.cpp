#include "store/TableSchema.h"

#include "store/Connection.h"

#include <QRegularExpression>
#include <QSet>

namespace tavik::store {

namespace {

QString createStatementOf(Connection& connection, const QString& table)
{
    ErrorContext context = connection.context(EngineOperation::ReadTableDefinition);
    context.table = table;
    Statement query = connection.prepare(
        QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE"),
        context);
    query.bind(1, table);
    if (!query.step())
        throw EngineError(EngineError::Kind::NoSuchTable, context, QStringLiteral("no such table"));
    return query.text(1);
}

// The fields that carry CHECK(<field> <> ''), in upper case, found in one pass over the table's
// definition: a pattern per field would be compiled once for every field of every table read.
QSet<QString> fieldsForbiddingZeroLength(const QString& createSql)
{
    static const QRegularExpression check(
        QStringLiteral("CHECK\\s*\\(\\s*(?:\"([^\"]+)\"|`([^`]+)`|\\[([^\\]]+)\\]|([^\\s<>()\"`\\[\\]]+))\\s*<>\\s*''\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    QSet<QString> fields;
    for (auto it = check.globalMatch(createSql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        for (int group = 1; group <= 4; ++group) {
            if (match.capturedLength(group) > 0)
                fields.insert(match.captured(group).toUpper());
        }
    }
    return fields;
}

FieldInfo describe(const QString& name, const QString& declaredType, bool primaryKey, const QSet<QString>& forbidZeroLength)
{
    static const QRegularExpression textType(QStringLiteral("^\\s*(VAR)?CHAR\\s*\\(\\s*(\\d+)\\s*\\)\\s*$"),
                                             QRegularExpression::CaseInsensitiveOption);
    FieldInfo info;
    info.name = name;
    const QString type = declaredType.trimmed().toUpper();
    if (primaryKey && type == QLatin1String("INTEGER")) {
        info.kind = FieldKind::AutoNumber;
    } else if (const auto match = textType.match(declaredType); match.hasMatch()) {
        info.kind = FieldKind::Text;
        info.size = match.captured(2).toInt();
    } else if (type == QLatin1String("TEXT")) {
        info.kind = FieldKind::Memo;
    }
    if (info.kind == FieldKind::Text || info.kind == FieldKind::Memo)
        info.allowZeroLength = !forbidZeroLength.contains(name.toUpper());
    return info;
}

} // namespace

bool TableSchema::tableExists(Connection& connection, const QString& table)
{
    Statement query = connection.prepare(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE"));
    query.bind(1, table);
    return query.step();
}

TableSchema TableSchema::read(Connection& connection, const QString& table)
{
    const QSet<QString> forbidZeroLength = fieldsForbiddingZeroLength(createStatementOf(connection, table));
    TableSchema schema;
    schema.table_ = table;
    ErrorContext context = connection.context(EngineOperation::ReadTableDefinition);
    context.table = table;
    Statement columns = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)), context);
    while (columns.step())
        schema.fields_.append(describe(columns.text(1), columns.text(2), columns.integer(5) != 0, forbidZeroLength));
    return schema;
}

int TableSchema::indexOf(const QString& field) const
{
    for (int i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace tavik::store

#include "store/Database.h"

#include "store/Connection.h"

namespace tavik::store {

namespace {

QString columnDefinition(const FieldDef& field)
{
    const QString name = quoteIdentifier(field.name);
    QString definition = name;
    if (field.type == FieldType::Memo) {
        definition += QStringLiteral(" TEXT");
    } else {
        definition += QStringLiteral(" VARCHAR(%1) CHECK(length(%2) <= %1)").arg(field.size).arg(name);
    }
    if (!field.allowZeroLength)
        definition += QStringLiteral(" CHECK(%1 <> '')").arg(name);
    return definition;
}

} // namespace

TableDef::TableDef(std::shared_ptr<Connection> connection, QString table)
    : connection_(std::move(connection))
    , table_(std::move(table))
{
}

FieldDef TableDef::createField(const QString& name, FieldType type, int size) const
{
    FieldDef field;
    field.name = name;
    field.type = type;
    field.size = type == FieldType::Text ? (size > 0 ? size : 50) : 0;
    return field;
}

TableSchema TableDef::schema() const
{
    return TableSchema::read(*connection_, table_);
}

void TableDef::append(const FieldDef& field)
{
    ErrorContext context = connection_->context(EngineOperation::AppendField);
    context.table = table_;
    context.field = field.name;
    if (field.name.trimmed().isEmpty() || (field.type == FieldType::Text && (field.size < 1 || field.size > 255)))
        throw EngineError(EngineError::Kind::Other, context, QStringLiteral("invalid field definition"));
    if (schema().indexOf(field.name) >= 0)
        throw EngineError(EngineError::Kind::FieldExists, context, QStringLiteral("duplicate column name"));
    if (connection_->isReadOnly())
        throw EngineError(EngineError::Kind::CannotOpen, context, QStringLiteral("database opened read-only"));
    connection_->execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(quoteIdentifier(table_), columnDefinition(field)),
                         context);
}

Database::Database(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection))
    , path_(connection_->path())
{
}

Connection& Database::connection()
{
    if (!connection_) {
        ErrorContext context;
        context.operation = EngineOperation::UseDatabase;
        context.file = path_;
        throw EngineError(EngineError::Kind::NotOpen, context);
    }
    return *connection_;
}

TableDef Database::tableDef(const QString& table)
{
    Connection& open = connection();
    if (!TableSchema::tableExists(open, table)) {
        ErrorContext context = open.context(EngineOperation::ReadTableDefinition);
        context.table = table;
        throw EngineError(EngineError::Kind::NoSuchTable, context, QStringLiteral("no such table"));
    }
    return TableDef(connection_, table);
}

void Database::newPassword(const QString& oldPassword, const QString& newPassword)
{
    Connection& open = connection();
    if (!open.isExclusive() || open.isReadOnly())
        throw EngineError(EngineError::Kind::NotExclusive, open.context(EngineOperation::ChangePassword));
    if (!open.passwordMatches(oldPassword))
        throw EngineError(EngineError::Kind::WrongPassword, open.context(EngineOperation::ChangePassword));
    open.rewriteWithPassword(newPassword);
}

void Database::close()
{
    connection_.reset();
}

} // namespace tavik::store

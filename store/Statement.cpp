#include "store/Statement.h"

#include <sqlcipher/sqlite3.h>

namespace tavik::store {

void Statement::Finalizer::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

Statement::Statement(sqlite3* db, const QString& sql, ErrorContext context)
    : db_(db)
    , context_(std::move(context))
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const int code = sqlite3_prepare_v2(db_, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr);
    statement_.reset(raw);
    if (code != SQLITE_OK)
        fail(code, "prepare");
}

void Statement::fail(int code, const char* what) const
{
    const int extended = db_ ? sqlite3_extended_errcode(db_) : code;
    const QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
    ErrorContext context = context_;
    if (context.operation.isEmpty())
        context.operation = QString::fromLatin1(what);
    throw EngineError(EngineError::kindOfSqliteCode(code), std::move(context), message, code, extended);
}

void Statement::bindNull(int index)
{
    if (const int code = sqlite3_bind_null(handle(), index); code != SQLITE_OK)
        fail(code, "bind");
}

void Statement::bind(int index, const QString& text)
{
    if (text.isNull()) {
        // A null QString is still a text here; only an invalid variant means no value.
        bind(index, QStringLiteral(""));
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    if (const int code = sqlite3_bind_text(handle(), index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT); code != SQLITE_OK)
        fail(code, "bind");
}

void Statement::bind(int index, qint64 number)
{
    if (const int code = sqlite3_bind_int64(handle(), index, number); code != SQLITE_OK)
        fail(code, "bind");
}

void Statement::bind(int index, double number)
{
    if (const int code = sqlite3_bind_double(handle(), index, number); code != SQLITE_OK)
        fail(code, "bind");
}

void Statement::bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
        bind(index, value.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        bind(index, value.toDouble());
        return;
    default:
        bind(index, value.toString());
        return;
    }
}

bool Statement::step()
{
    const int code = sqlite3_step(handle());
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    sqlite3_reset(handle());
    fail(code, "step");
}

void Statement::run()
{
    while (step()) {
    }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(handle());
    sqlite3_clear_bindings(handle());
}

int Statement::columnCount() const
{
    return sqlite3_column_count(handle());
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(handle(), column));
}

QVariant Statement::value(int column) const
{
    switch (sqlite3_column_type(handle(), column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(handle(), column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(handle(), column);
    default:
        return text(column);
    }
}

QString Statement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle(), column));
    const int size = sqlite3_column_bytes(handle(), column);
    return bytes ? QString::fromUtf8(bytes, size) : QString();
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(handle(), column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(handle(), column) == SQLITE_NULL;
}

} // namespace tavik::store

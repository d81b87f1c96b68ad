#include "store/Statement.h"

#include <sqlcipher/sqlite3.h>

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <cstring>

namespace tavik::store {

bool isWholeNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

void ColumnValue::release()
{
    kind = Kind::Null;
    if (!text.isNull())
        text = QString();
    other.reset();
}

QVariant ColumnValue::toVariant() const
{
    switch (kind) {
    case Kind::Null:
        return {};
    case Kind::Text:
        return text;
    case Kind::Integer:
        return QVariant::fromValue<qint64>(integer);
    case Kind::Real:
        return real;
    case Kind::Other:
        return other.value_or(QVariant());
    }
    return {};
}

ColumnValue ColumnValue::fromVariant(const QVariant& value)
{
    ColumnValue result;
    if (value.typeId() == QMetaType::QString) {
        result.kind = Kind::Text;
        result.text = *static_cast<const QString*>(value.constData());
    } else if (!value.isValid() || value.isNull()) {
        result.kind = Kind::Null;
    } else if (value.typeId() == QMetaType::LongLong) {
        result.kind = Kind::Integer;
        result.integer = value.toLongLong();
    } else if (value.typeId() == QMetaType::Double) {
        result.kind = Kind::Real;
        result.real = value.toDouble();
    } else {
        result.kind = Kind::Other;
        result.other = value;
    }
    return result;
}

namespace {
char* encodeUtf8(QStringView text, char* out);
void decodeUtf8Into(QString& text, const char* bytes, qsizetype size);
} // namespace

void BoundValue::setNull()
{
    kind = Kind::Null;
    other.reset();
    if (capacity_ > keptBytes) {
        buffer_.reset();
        capacity_ = 0;
    }
    size_ = 0;
}

char* BoundValue::room(qsizetype bytes)
{
    if (bytes > capacity_) {
        capacity_ = std::max<qsizetype>(bytes, 64);
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
    return buffer_ ? buffer_.get() : nullptr;
}

void BoundValue::setText(QStringView text)
{
    kind = Kind::Text;
    other.reset();
    // Three bytes per UTF-16 unit at most.
    char* const start = room(3 * text.size());
    size_ = start ? encodeUtf8(text, start) - start : 0;
}

void BoundValue::setUtf8(std::string_view bytes)
{
    kind = Kind::Text;
    other.reset();
    char* const start = room(qsizetype(bytes.size()));
    if (start)
        std::memcpy(start, bytes.data(), bytes.size());
    size_ = qsizetype(bytes.size());
}

void BoundValue::setWholeNumberText(qint64 number)
{
    kind = Kind::Text;
    other.reset();
    char* const start = room(24);
    size_ = std::to_chars(start, start + 24, number).ptr - start;
}

ColumnValue BoundValue::toColumnValue() const
{
    ColumnValue value;
    value.kind = kind;
    switch (kind) {
    case Kind::Text:
        decodeUtf8Into(value.text, bytes(), size_);
        break;
    case Kind::Integer:
        value.integer = integer;
        break;
    case Kind::Real:
        value.real = real;
        break;
    case Kind::Other:
        value.other = other;
        break;
    case Kind::Null:
        break;
    }
    return value;
}

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
        fail(code, EngineOperation::Prepare);
    parameterCount_ = sqlite3_bind_parameter_count(raw);
}

void Statement::fail(int code, EngineOperation what) const
{
    const int extended = db_ ? sqlite3_extended_errcode(db_) : code;
    const QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
    ErrorContext context = context_;
    if (!context.operation)
        context.operation = what;
    throw EngineError(EngineError::kindOfSqliteCode(code), std::move(context), message, code, extended);
}

void Statement::bindNull(int index)
{
    if (const int code = sqlite3_bind_null(handle(), index); code != SQLITE_OK)
        fail(code, EngineOperation::Bind);
}

void Statement::bind(int index, const QString& text)
{
    // A null QString is still a text here; only an invalid variant means no value.
    bind(index, QStringView(text));
}

namespace {

// Most texts of the data files are ASCII; they are copied byte for byte, and only the others
// go through the converter.
char* encodeUtf8(QStringView text, char* out)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x80) {
            QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
            return encoder.appendToBuffer(out, text.sliced(i));
        }
        *out++ = static_cast<char>(unit);
    }
    return out;
}

} // namespace

void Statement::bind(int index, QStringView text)
{
    if (index < 1 || index > parameterCount_) {
        bindNull(index); // SQLite refuses the index and says why
        return;
    }
    if (textBuffers_.size() < static_cast<std::size_t>(index))
        textBuffers_.resize(index);
    QByteArray& buffer = textBuffers_[index - 1];
    // Three bytes per UTF-16 unit at most; the buffer is never empty, so an empty text is bound
    // as a text and not as null.
    const qsizetype needed = 3 * text.size() + 1;
    if (buffer.size() < needed)
        buffer.resize(needed);
    char* const end = encodeUtf8(text, buffer.data());
    const int size = static_cast<int>(end - buffer.data());
    if (const int code = sqlite3_bind_text(handle(), index, buffer.constData(), size, SQLITE_STATIC); code != SQLITE_OK)
        fail(code, EngineOperation::Bind);
}

void Statement::bind(int index, qint64 number)
{
    if (const int code = sqlite3_bind_int64(handle(), index, number); code != SQLITE_OK)
        fail(code, EngineOperation::Bind);
}

void Statement::bind(int index, double number)
{
    if (const int code = sqlite3_bind_double(handle(), index, number); code != SQLITE_OK)
        fail(code, EngineOperation::Bind);
}

namespace {
// What a column value and a value bound for writing hold alike: all but the text, which each
// keeps in its own form.
template <typename Value> void bindAllButText(Statement& statement, int index, const Value& value)
{
    switch (value.kind) {
    case ColumnValue::Kind::Null:
        statement.bindNull(index);
        return;
    case ColumnValue::Kind::Integer:
        statement.bind(index, value.integer);
        return;
    case ColumnValue::Kind::Real:
        statement.bind(index, value.real);
        return;
    case ColumnValue::Kind::Other:
        statement.bind(index, value.other.value_or(QVariant()));
        return;
    case ColumnValue::Kind::Text:
        return;
    }
}
} // namespace

void Statement::bind(int index, const ColumnValue& value)
{
    if (value.kind == ColumnValue::Kind::Text)
        bind(index, QStringView(value.text));
    else
        bindAllButText(*this, index, value);
}

void Statement::bind(int index, const BoundValue& value)
{
    if (value.kind != ColumnValue::Kind::Text) {
        bindAllButText(*this, index, value);
        return;
    }
    // The empty text has a buffer too, so it is bound as a text and not as null.
    if (const int code
        = sqlite3_bind_text(handle(), index, value.bytes(), static_cast<int>(value.size()), SQLITE_STATIC);
        code != SQLITE_OK)
        fail(code, EngineOperation::Bind);
}

void Statement::bind(int index, const QVariant& value)
{
    // Texts are by far the most bound values; they are bound without a copy.
    if (value.typeId() == QMetaType::QString) {
        bind(index, QStringView(*static_cast<const QString*>(value.constData())));
        return;
    }
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    if (isWholeNumber(value)) {
        bind(index, value.toLongLong());
        return;
    }
    switch (value.typeId()) {
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
    fail(code, EngineOperation::Step);
}

void Statement::run()
{
    while (step()) {
    }
    // The bindings stay: whoever runs a statement again binds every parameter anew, and cached
    // statements are reset with their bindings when handed out.
    sqlite3_reset(handle());
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

namespace {

// Decodes into the text's own storage when it is not shared; a shared text is left to its other
// holders and a new one is made.
void decodeUtf8Into(QString& text, const char* bytes, qsizetype size)
{
    if (size == 0) {
        if (text.isDetached() && text.capacity() > 0)
            text.resize(0);
        else
            text = QStringLiteral("");
        return;
    }
    if (!text.isDetached())
        text = QString();
    // UTF-8 never needs more UTF-16 units than it has bytes.
    text.resize(size);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            // A byte order mark at the start is part of the stored text and is kept, as fromUtf8 does.
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            out = decoder.appendToBuffer(out, QByteArrayView(bytes + i, size - i));
            text.resize(out - text.constData());
            return;
        }
        *out++ = QChar(byte);
    }
}

} // namespace

// The column's value object is read with the value functions: the column functions take the
// connection's mutex and check for failed allocations on every call. The object is only used
// on this thread and before the next step, which is all SQLite asks of an unprotected value.
void Statement::readInto(int column, ColumnValue& target) const
{
    sqlite3_value* const value = sqlite3_column_value(handle(), column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        target.kind = ColumnValue::Kind::Null;
        return;
    case SQLITE_INTEGER:
        target.kind = ColumnValue::Kind::Integer;
        target.integer = sqlite3_value_int64(value);
        return;
    case SQLITE_FLOAT:
        target.kind = ColumnValue::Kind::Real;
        target.real = sqlite3_value_double(value);
        return;
    default:
        break;
    }
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    target.kind = ColumnValue::Kind::Text;
    decodeUtf8Into(target.text, bytes, size);
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

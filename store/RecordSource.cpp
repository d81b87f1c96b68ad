#include "store/RecordSource.h"

#include "store/Engine.h"
#include "store/NumberText.h"

#include <QStringList>

namespace tavik::store {

namespace {

qsizetype characterCount(const QString& text)
{
    qsizetype count = 0;
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        if (!it->isLowSurrogate())
            ++count;
    }
    return count;
}

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

} // namespace

RecordSource::RecordSource(Engine& engine, QString name, QString table, QString connect)
    : engine_(engine)
    , name_(std::move(name))
    , table_(std::move(table))
    , connect_(std::move(connect))
{
}

RecordSource::~RecordSource() = default;

ErrorContext RecordSource::context(const char* operation, int fieldIndex) const
{
    ErrorContext c;
    c.operation = QStringLiteral("%1: %2").arg(name_, QString::fromLatin1(operation));
    c.file = databaseName_;
    c.table = table_;
    if (fieldIndex >= 0 && fieldIndex < schema_.fields().size())
        c.field = schema_.field(fieldIndex).name;
    c.recordKey = currentKey();
    return c;
}

Connection& RecordSource::connection() const
{
    if (!connection_)
        throw EngineError(EngineError::Kind::NotOpen, context("use"));
    return *connection_;
}

void RecordSource::close()
{
    statements_.clear();
    connection_.reset();
    schema_ = TableSchema();
    keys_.clear();
    row_.clear();
    position_ = 0;
    adding_ = false;
    discardPending();
    ++generation_;
}

void RecordSource::refresh()
{
    if (connection_ && dirtyCount_ > 0)
        storePending();
    close();
    OpenOptions options;
    options.password = Engine::passwordOf(connect_);
    std::shared_ptr<Connection> connection = engine_.connect(databaseName_, options);
    TableSchema schema = TableSchema::read(*connection, table_);
    QStringList columns;
    for (const FieldInfo& field : schema.fields())
        columns << quoteIdentifier(field.name);
    Statement keys = connection->prepare(
        QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoteIdentifier(schema.table())), context("refresh"));
    std::vector<qint64> loaded;
    while (keys.step())
        loaded.push_back(keys.integer(0));

    connection_ = std::move(connection);
    schema_ = std::move(schema);
    columnList_ = columns.join(QLatin1Char(','));
    keys_ = std::move(loaded);
    pending_.assign(schema_.fields().size(), QVariant());
    dirty_.fill('\0', schema_.fields().size());
    loadCurrent();
}

qint64 RecordSource::recordCount() const
{
    connection();
    return static_cast<qint64>(keys_.size());
}

bool RecordSource::eof() const
{
    connection();
    return position_ >= keys_.size();
}

bool RecordSource::hasCurrent() const
{
    return connection_ && (adding_ || position_ < keys_.size());
}

std::optional<qint64> RecordSource::currentKey() const
{
    if (!connection_ || adding_ || position_ >= keys_.size())
        return std::nullopt;
    return keys_[position_];
}

void RecordSource::requireCurrent(const char* operation) const
{
    connection();
    if (!hasCurrent())
        throw EngineError(EngineError::Kind::NoCurrentRecord, context(operation), QStringLiteral("no current record"));
}

Statement& RecordSource::statementFor(char kind)
{
    QByteArray key(1, kind);
    if (kind == 'U' || kind == 'I')
        key += dirty_;
    auto found = statements_.find(key);
    if (found != statements_.end()) {
        found->second->reset();
        return *found->second;
    }
    const QString table = quoteIdentifier(schema_.table());
    QStringList assigned;
    for (int i = 0; i < dirty_.size(); ++i) {
        if (dirty_[i])
            assigned << quoteIdentifier(schema_.field(i).name);
    }
    QString sql;
    if (kind == 'S') {
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(columnList_, table);
    } else if (kind == 'U') {
        for (int i = 0; i < assigned.size(); ++i)
            assigned[i] += QStringLiteral(" = ?%1").arg(i + 1);
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3").arg(table, assigned.join(QLatin1Char(','))).arg(assigned.size() + 1);
    } else if (assigned.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        QStringList placeholders;
        for (int i = 0; i < assigned.size(); ++i)
            placeholders << QStringLiteral("?%1").arg(i + 1);
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, assigned.join(QLatin1Char(',')), placeholders.join(QLatin1Char(',')));
    }
    auto statement = std::make_unique<Statement>(connection_->prepare(sql, context("prepare")));
    return *statements_.emplace(key, std::move(statement)).first->second;
}

void RecordSource::loadCurrent()
{
    row_.assign(schema_.fields().size(), QVariant());
    if (position_ >= keys_.size())
        return;
    Statement& select = statementFor('S');
    select.bind(1, keys_[position_]);
    // A record deleted by someone else since the refresh shows as empty.
    if (select.step()) {
        for (int i = 0; i < static_cast<int>(row_.size()); ++i)
            row_[i] = select.value(i);
    }
    select.reset();
}

void RecordSource::discardPending()
{
    for (int i = 0; i < dirty_.size(); ++i) {
        if (dirty_[i]) {
            pending_[i] = QVariant();
            dirty_[i] = 0;
        }
    }
    dirtyCount_ = 0;
}

void RecordSource::insertPending()
{
    Statement& insert = statementFor('I');
    int parameter = 0;
    for (int i = 0; i < dirty_.size(); ++i) {
        if (dirty_[i])
            insert.bind(++parameter, pending_[i]);
    }
    insert.run();
    keys_.push_back(connection_->lastInsertRowId());
}

void RecordSource::updatePending()
{
    Statement& update = statementFor('U');
    int parameter = 0;
    for (int i = 0; i < dirty_.size(); ++i) {
        if (dirty_[i])
            update.bind(++parameter, pending_[i]);
    }
    update.bind(parameter + 1, keys_[position_]);
    update.run();
    for (int i = 0; i < dirty_.size(); ++i) {
        if (dirty_[i])
            row_[i] = pending_[i];
    }
}

// Whatever happens, nothing stays pending: a failed store leaves the record as it was stored.
void RecordSource::storePending()
{
    const bool adding = adding_;
    adding_ = false;
    try {
        if (adding)
            insertPending();
        else if (dirtyCount_ > 0 && position_ < keys_.size())
            updatePending();
    } catch (...) {
        discardPending();
        if (adding)
            loadCurrent();
        throw;
    }
    discardPending();
    if (adding)
        loadCurrent();
}

void RecordSource::moveFirst()
{
    connection();
    std::exception_ptr failure;
    try {
        storePending();
    } catch (...) {
        failure = std::current_exception();
    }
    position_ = 0;
    loadCurrent();
    if (failure)
        std::rethrow_exception(failure);
}

void RecordSource::moveNext()
{
    requireCurrent("move next");
    std::exception_ptr failure;
    try {
        storePending();
    } catch (...) {
        failure = std::current_exception();
    }
    ++position_;
    loadCurrent();
    if (failure)
        std::rethrow_exception(failure);
}

void RecordSource::addNew()
{
    connection();
    if (adding_ || dirtyCount_ > 0)
        storePending();
    adding_ = true;
    row_.assign(schema_.fields().size(), QVariant());
}

void RecordSource::updateRecord()
{
    requireCurrent("update record");
    storePending();
}

int RecordSource::findField(const QString& field) const
{
    return schema_.indexOf(field);
}

int RecordSource::fieldIndex(const QString& field) const
{
    connection();
    const int index = schema_.indexOf(field);
    if (index < 0) {
        ErrorContext c = context("field");
        c.field = field;
        throw EngineError(EngineError::Kind::NoSuchField, c, QStringLiteral("no such field"));
    }
    return index;
}

QVariant RecordSource::value(const QString& field) const
{
    return value(fieldIndex(field));
}

QVariant RecordSource::value(int index) const
{
    requireCurrent("read field");
    return dirty_[index] ? pending_[index] : row_[index];
}

QString RecordSource::text(int index) const
{
    if (!hasCurrent() || index < 0 || index >= static_cast<int>(row_.size()))
        return {};
    const QVariant current = dirty_[index] ? pending_[index] : row_[index];
    if (!current.isValid() || current.isNull())
        return QStringLiteral("");
    if (current.typeId() == QMetaType::Double)
        return numberToText(current.toDouble(), engine_.numberFormat());
    return current.toString();
}

void RecordSource::setValue(const QString& field, const QVariant& value)
{
    setValue(fieldIndex(field), value);
}

void RecordSource::setText(int index, const QString& text)
{
    setValue(index, text.isEmpty() ? QVariant() : QVariant(text));
}

QVariant RecordSource::converted(int index, const QVariant& value) const
{
    const FieldInfo& field = schema_.field(index);
    if (field.kind == FieldKind::AutoNumber)
        throw EngineError(EngineError::Kind::ReadOnlyField, context("assign field", index), QStringLiteral("field is read-only"));
    if (!value.isValid() || value.isNull() || field.kind == FieldKind::Other)
        return value.isValid() && !value.isNull() ? value : QVariant();
    QString text;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        text = numberToText(value.toDouble(), engine_.numberFormat());
    else if (value.typeId() == QMetaType::Bool)
        text = value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    else if (isWholeNumber(value))
        text = QString::number(value.toLongLong());
    else
        text = value.toString();
    if (field.kind == FieldKind::Text && characterCount(text) > field.size)
        throw EngineError(EngineError::Kind::ValueTooLong, context("assign field", index),
                          QStringLiteral("value of %1 characters exceeds the field size %2").arg(characterCount(text)).arg(field.size));
    if (text.isEmpty() && !field.allowZeroLength)
        throw EngineError(EngineError::Kind::ZeroLengthNotAllowed, context("assign field", index),
                          QStringLiteral("zero-length text not allowed"));
    return text;
}

void RecordSource::setValue(int index, const QVariant& value)
{
    requireCurrent("assign field");
    if (index < 0 || index >= static_cast<int>(pending_.size()))
        throw EngineError(EngineError::Kind::NoSuchField, context("assign field"), QStringLiteral("no such field"));
    pending_[index] = converted(index, value);
    if (!dirty_[index]) {
        dirty_[index] = 1;
        ++dirtyCount_;
    }
}

} // namespace tavik::store

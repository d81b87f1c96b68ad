#include "store/RecordSource.h"

#include "store/Engine.h"
#include "store/NumberText.h"

#include <QStringList>

#include <algorithm>
#include <bit>
#include <charconv>
#include <stdexcept>
#include <utility>

namespace tavik::store {

namespace {

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        if (!it->isLowSurrogate())
            ++count;
    }
    return count;
}

} // namespace

void KeyRuns::append(qint64 key)
{
    if (!runs_.empty() && runs_.back().firstKey + qint64(runs_.back().count) == key)
        ++runs_.back().count;
    else
        runs_.push_back(Run { key, size_, 1 });
    ++size_;
}

void KeyRuns::appendRun(qint64 firstKey, std::size_t count)
{
    if (count == 0)
        return;
    runs_.push_back(Run { firstKey, size_, count });
    size_ += count;
}

void KeyRuns::clear()
{
    runs_.clear();
    size_ = 0;
    lastRun_ = 0;
}

qint64 KeyRuns::at(std::size_t position) const
{
    auto holds = [position](const Run& run) {
        return position >= run.firstPosition && position - run.firstPosition < run.count;
    };
    for (std::size_t run = lastRun_; run < runs_.size() && run <= lastRun_ + 1; ++run) {
        if (holds(runs_[run])) {
            lastRun_ = run;
            return runs_[run].firstKey + qint64(position - runs_[run].firstPosition);
        }
    }
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), position,
                                        [](std::size_t wanted, const Run& run) { return wanted < run.firstPosition; });
    lastRun_ = std::size_t(after - runs_.begin()) - 1;
    const Run& run = runs_[lastRun_];
    return run.firstKey + qint64(position - run.firstPosition);
}

namespace {
// Enough to make the statement's own cost small beside the records', few enough that a walk's
// first move and a source that stands on one record read little more than they need.
constexpr std::size_t recordsReadAhead = 32;
} // namespace

bool RecordsAhead::take(std::size_t position, const Connection& connection, quint64 tableChanges, std::vector<ColumnValue>& row)
{
    if (count_ == 0)
        return false;
    if (position != next_ || position - first_ >= count_ || epoch_ != connection.epoch() || changes_ != tableChanges) {
        if (next_ - first_ < count_)
            nextReadSize_ = 1;
        count_ = 0;
        return false;
    }
    const std::size_t at = position - first_;
    if (++next_ - first_ == count_)
        nextReadSize_ = std::min(2 * nextReadSize_, recordsReadAhead);
    if (found_[at]) {
        row.swap(rows_[at]);
    } else {
        for (ColumnValue& value : row)
            value.setNull();
    }
    return true;
}

void RecordsAhead::read(Statement& select, const KeyRuns& keys, std::size_t position, const std::vector<int>& columns,
                        std::size_t fieldCount, const Connection& connection, quint64 tableChanges)
{
    count_ = 0;
    // Outside a transaction another program may change the file between two moves; inside one,
    // the lock taken by the first read keeps the records as read until the commit.
    const std::size_t readSize = connection.inTransaction() ? nextReadSize_ : 1;
    std::size_t last = position;
    while (last + 1 < keys.size() && last + 1 - position < readSize && keys.at(last + 1) > keys.at(last))
        ++last;
    const std::size_t wanted = last - position + 1;
    if (rows_.size() < wanted) {
        rows_.resize(wanted);
        found_.resize(wanted);
    }
    std::fill(found_.begin(), found_.end(), 0);
    select.bind(1, keys.at(position));
    select.bind(2, keys.at(last));
    std::size_t at = position;
    try {
        while (at <= last && select.step()) {
            const qint64 key = select.integer(0);
            while (at <= last && keys.at(at) < key)
                ++at; // deleted since the dynaset was built
            if (at > last || keys.at(at) != key)
                continue; // added by someone else since: not in the dynaset
            std::vector<ColumnValue>& row = rows_[at - position];
            row.resize(fieldCount);
            for (std::size_t column = 0; column < columns.size(); ++column)
                select.readInto(static_cast<int>(column) + 1, row[columns[column]]);
            found_[at - position] = 1;
            ++at;
        }
        at = last + 1;
    } catch (const EngineError&) {
        if (at == position)
            throw;
    }
    select.reset();
    first_ = position;
    count_ = at - position;
    next_ = position;
    changes_ = tableChanges;
    epoch_ = connection.epoch();
}

void RecordsAhead::ownStore(quint64 changesBefore, quint64 changesAfter)
{
    if (count_ == 0)
        return;
    if (changesBefore == changes_ && changesAfter == changesBefore + 1) {
        changes_ = changesAfter;
        return;
    }
    nextReadSize_ = 1;
    count_ = 0;
}

RecordSource::RecordSource(Engine& engine, QString name, QString table, QString connect)
    : engine_(engine)
    , name_(std::move(name))
    , table_(std::move(table))
    , connect_(std::move(connect))
{
}

RecordSource::~RecordSource() = default;

ErrorContext RecordSource::context(EngineOperation operation, int fieldIndex) const
{
    ErrorContext c;
    c.operation = operation;
    c.recordSource = name_;
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
        throw EngineError(EngineError::Kind::NotOpen, context(EngineOperation::Use));
    return *connection_;
}

void RecordSource::close()
{
    readAhead_.reset();
    readRest_.reset();
    columnsRead_.clear();
    isRead_.clear();
    restUnread_ = false;
    restUnreadBeforeAdd_ = false;
    ahead_.drop();
    tableChanges_ = nullptr;
    queued_.clear();
    queuedCount_ = 0;
    inserts_.clear();
    updates_.clear();
    connection_.reset();
    schema_ = TableSchema();
    keys_.clear();
    row_.clear();
    rowBeforeAdd_.clear();
    position_ = 0;
    adding_ = false;
    currentUnread_ = false;
    discardPending();
    pending_.clear();
    dirty_.clear();
    ++generation_;
}

void RecordSource::readFields(const QStringList& fields)
{
    fieldsRead_ = fields;
    if (!connection_)
        return;
    readAhead_.reset();
    readRest_.reset();
    ahead_.drop();
    // The current record keeps what it was read with.
    const bool partlyRead = restUnread_;
    chooseColumnsRead();
    restUnread_ = partlyRead;
}

void RecordSource::chooseColumnsRead()
{
    const int fieldCount = static_cast<int>(schema_.fields().size());
    isRead_.assign(fieldCount, fieldsRead_.isEmpty() ? 1 : 0);
    for (const QString& name : fieldsRead_) {
        if (const int index = schema_.indexOf(name); index >= 0)
            isRead_[index] = 1;
    }
    columnsRead_.clear();
    QStringList columns;
    for (int field = 0; field < fieldCount; ++field) {
        if (!isRead_[field])
            continue;
        columnsRead_.push_back(field);
        columns << quoteIdentifier(schema_.field(field).name);
    }
    // A select needs a column: the key stands in when no field is read.
    columnList_ = columns.isEmpty() ? QStringLiteral("rowid") : columns.join(QLatin1Char(','));
    restUnread_ = false;
}

// Most tables have no gaps in their keys: then the first and last key and the count, which SQLite
// finds without decoding a record, give them all (one statement, so that the three agree). SQLite
// counts the smallest index instead where the table has one, and an index that no longer matches
// its table would count records that are not there: such a table is read key by key.
KeyRuns RecordSource::readKeys(Connection& connection, const QString& table) const
{
    const QString quoted = quoteIdentifier(table);
    KeyRuns keys;
    const bool countsItsRecords
        = !connection.prepare(QStringLiteral("PRAGMA index_list(%1)").arg(quoted), context(EngineOperation::Refresh))
               .step();
    if (countsItsRecords) {
        Statement bounds = connection.prepare(
            QStringLiteral("SELECT (SELECT count(*) FROM %1), (SELECT min(rowid) FROM %1), (SELECT max(rowid) FROM %1)")
                .arg(quoted),
            context(EngineOperation::Refresh));
        bounds.step();
        const qint64 count = bounds.integer(0);
        if (count == 0)
            return keys;
        const qint64 first = bounds.integer(1);
        const qint64 last = bounds.integer(2);
        // Unsigned, since the span of the whole key range does not fit a signed number.
        if (quint64(last) - quint64(first) == quint64(count - 1)) {
            keys.appendRun(first, std::size_t(count));
            return keys;
        }
    }
    Statement all = connection.prepare(
        QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoted), context(EngineOperation::Refresh));
    while (all.step())
        keys.append(all.integer(0));
    return keys;
}

void RecordSource::refresh()
{
    if (connection_ && !pendingFields_.empty())
        storePending();
    if (connection_)
        runQueueFirst();
    KeyRuns previousKeys = std::move(keys_);
    const std::weak_ptr<Connection> previousConnection = connection_;
    const QString previousTable = schema_.table();
    close();
    OpenOptions options;
    options.password = Engine::passwordOf(connect_);
    options.readOnlyWhereUnwritable = access_ == Access::ReadOnly;
    std::shared_ptr<Connection> connection = engine_.connect(databaseName_, options);
    TableSchema schema = TableSchema::read(*connection, table_);
    const Connection::TableState state = connection->stateOf(schema.table());
    KeyRuns loaded;
    // Reading the keys means reading the whole table; over the same connection, with nothing
    // changed since the last time, that read would find the same keys.
    if (connection == previousConnection.lock() && schema.table() == previousTable && state == keysState_) {
        loaded = std::move(previousKeys);
    } else {
        loaded = readKeys(*connection, schema.table());
    }
    keysState_ = state;

    connection_ = std::move(connection);
    tableChanges_ = &connection_->rowChangesOf(schema.table());
    schema_ = std::move(schema);
    chooseColumnsRead();
    keys_ = std::move(loaded);
    pending_.clear();
    pending_.resize(schema_.fields().size());
    dirty_.assign(schema_.fields().size(), '\0');
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


std::optional<qint64> RecordSource::currentKey() const
{
    if (!connection_ || adding_ || position_ >= keys_.size())
        return std::nullopt;
    return keys_.at(position_);
}

void RecordSource::failWithoutCurrent(EngineOperation operation) const
{
    connection();
    throw EngineError(EngineError::Kind::NoCurrentRecord, context(operation), QStringLiteral("no current record"));
}

Statement& RecordSource::readAheadStatement()
{
    if (!readAhead_) {
        const QString sql = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid")
                                .arg(columnList_, quoteIdentifier(schema_.table()));
        readAhead_ = std::make_unique<Statement>(connection_->prepare(sql, context(EngineOperation::Prepare)));
    }
    return *readAhead_;
}

QString RecordSource::writeSql(bool insert) const
{
    const QString table = quoteIdentifier(schema_.table());
    QStringList assigned;
    QStringList placeholders;
    int parameters = 0;
    for (const int field : pendingFields_) {
        assigned << quoteIdentifier(schema_.field(field).name);
        placeholders << (dirty_[field] == nullLiteral ? QStringLiteral("NULL")
                                                      : QStringLiteral("?%1").arg(++parameters));
    }
    if (!insert) {
        for (int i = 0; i < assigned.size(); ++i)
            assigned[i] += QStringLiteral(" = ") + placeholders[i];
        return QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
            .arg(table, assigned.join(QLatin1Char(',')))
            .arg(parameters + 1);
    }
    if (assigned.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, assigned.join(QLatin1Char(',')), placeholders.join(QLatin1Char(',')));
}

// Looked up by the pattern of assigned fields without building a key, since a walk stores
// a record at every move. Every use binds all parameters and ends with a reset (run() and a
// failing step() reset the statement), so it is handed out without another one.
Statement& RecordSource::writeStatement(StatementCache& cache, bool insert)
{
    auto found = cache.find(std::string_view(dirty_));
    if (found == cache.end()) {
        // Kept for every record stored with the same fields: the record is named when one fails.
        ErrorContext shared = context(EngineOperation::Prepare);
        shared.recordKey.reset();
        auto statement
            = std::make_unique<Statement>(connection_->prepare(writeSql(insert), std::move(shared)));
        found = cache.emplace(dirty_, std::move(statement)).first;
    }
    return *found->second;
}

void RecordSource::clearRow()
{
    restUnread_ = false;
    if (row_.size() != static_cast<std::size_t>(schema_.fields().size())) {
        row_.assign(schema_.fields().size(), ColumnValue());
        return;
    }
    for (ColumnValue& value : row_)
        value.setNull();
}

void RecordSource::loadCurrent()
{
    currentUnread_ = false;
    if (position_ >= keys_.size()) {
        clearRow();
        return;
    }
    // A record deleted by someone else since the refresh shows as empty.
    row_.resize(schema_.fields().size());
    restUnread_ = columnsRead_.size() < row_.size();
    if (restUnread_)
        rowHolds_ = isRead_;
    if (ahead_.take(position_, *connection_, tableChanges(), row_))
        return;
    try {
        ahead_.read(readAheadStatement(), keys_, position_, columnsRead_, row_.size(), *connection_, tableChanges());
    } catch (...) {
        // It shows as empty, but unlike a deleted record it holds values that are not known
        // here: storing anything into it could overwrite them.
        clearRow();
        currentUnread_ = true;
        throw;
    }
    ahead_.take(position_, *connection_, tableChanges(), row_);
}

// The whole record is read again: the fields read before hold what the file holds, or what the
// walk stored into it. A record deleted since shows as empty, as it would have at its first read;
// a read that fails leaves it as a record that could not be read, which refuses assignments.
void RecordSource::readRest() const
{
    try {
        if (!readRest_) {
            QStringList columns;
            for (const FieldInfo& field : schema_.fields())
                columns << quoteIdentifier(field.name);
            const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1")
                                    .arg(columns.join(QLatin1Char(',')), quoteIdentifier(schema_.table()));
            readRest_ = std::make_unique<Statement>(connection_->prepare(sql, context(EngineOperation::Prepare)));
        }
        readRest_->bind(1, keys_.at(position_));
        const bool found = readRest_->step();
        for (std::size_t field = 0; field < row_.size(); ++field) {
            if (found)
                readRest_->readInto(static_cast<int>(field), row_[field]);
            else
                row_[field].setNull();
        }
        readRest_->reset();
    } catch (...) {
        for (ColumnValue& value : row_)
            value.setNull();
        restUnread_ = false;
        currentUnread_ = true;
        throw;
    }
    restUnread_ = false;
}

void RecordSource::discardPending()
{
    // A value is only read while its field is marked, and every assignment sets it whole.
    for (const int field : pendingFields_) {
        pending_[field].forget();
        dirty_[field] = 0;
    }
    pendingFields_.clear();
}

// The values stored stay in the file only: the record moves on at once in a walk, and a source
// that stays on it reads them from there when asked for.
void RecordSource::forgetStored()
{
    if (!restUnread_) {
        rowHolds_.assign(row_.size(), 1);
        restUnread_ = true;
    }
    for (const int field : pendingFields_)
        rowHolds_[field] = 0;
}

// Whatever happens, nothing stays pending: a failed store leaves the record as it was stored.
// After an insert the record that was current before AddNew is current again; its values are
// kept aside rather than read again, unless the source stood past the end and the new record
// has taken that place.
void RecordSource::storePending(bool leaving)
{
    const bool adding = adding_;
    adding_ = false;
    const bool pastEnd = position_ >= keys_.size();
    // Statements name their fields in table order; a few fields sort faster than they are kept sorted.
    std::sort(pendingFields_.begin(), pendingFields_.end());
    std::exception_ptr failure;
    try {
        if (adding || (!pendingFields_.empty() && !pastEnd)) {
            queuePending(adding);
            // Only a walk's stores wait. A record added where the source stood past its end becomes
            // the current one at once, and one the source stays on is read back from the file.
            if (!deferStores_ || (adding ? pastEnd : !leaving)) {
                const std::size_t own = queuedCount_ - 1;
                const std::vector<StoreFailure> failures = runQueuedStores();
                if (!adding && (failures.empty() || failures.back().queued != own))
                    forgetStored();
                if (!failures.empty())
                    throw failures.front().error;
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    discardPending();
    if (adding) {
        row_.swap(rowBeforeAdd_);
        restUnread_ = restUnreadBeforeAdd_;
        if (pastEnd && position_ < keys_.size())
            loadCurrent();
    }
    if (failure)
        std::rethrow_exception(failure);
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
    // The records are read as stored, whatever the store of the record left did.
    try {
        runQueueFirst();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    position_ = 0;
    loadCurrent();
    if (failure)
        std::rethrow_exception(failure);
}

void RecordSource::moveNext()
{
    requireCurrent(EngineOperation::MoveNext);
    std::exception_ptr failure;
    try {
        storePending(true);
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
    if (adding_ || !pendingFields_.empty())
        storePending();
    adding_ = true;
    row_.swap(rowBeforeAdd_);
    restUnreadBeforeAdd_ = restUnread_;
    clearRow();
}

void RecordSource::deferStores(bool defer)
{
    deferStores_ = defer;
    if (!defer && connection_)
        runQueueFirst();
}

void RecordSource::queuePending(bool insert)
{
    Statement& statement = writeStatement(insert ? inserts_ : updates_, insert);
    if (queuedCount_ == 0)
        queuedInTransaction_ = connection_->inTransaction();
    if (queuedCount_ == queued_.size())
        queued_.emplace_back();
    QueuedStore& store = queued_[queuedCount_];
    store.statement = &statement;
    store.count = 0;
    // The values change places with the queue's old ones, whose buffers the next record reuses.
    for (const int field : pendingFields_) {
        if (dirty_[field] == nullLiteral)
            continue;
        if (store.count == store.values.size())
            store.values.emplace_back();
        store.values[store.count++].swap(pending_[field]);
    }
    store.key = insert ? std::nullopt : std::optional<qint64>(keys_.at(position_));
    ++queuedCount_;
}

std::vector<RecordSource::StoreFailure> RecordSource::runQueuedStores()
{
    std::vector<StoreFailure> failures;
    const std::size_t count = std::exchange(queuedCount_, 0);
    for (std::size_t queued = 0; queued < count; ++queued) {
        // Taken back here or by another source's store on the same connection.
        if (queuedInTransaction_ && !connection_->inTransaction())
            break;
        QueuedStore& store = queued_[queued];
        try {
            runStore(store);
        } catch (const EngineError& error) {
            ErrorContext named = error.context();
            named.recordKey = store.key;
            failures.push_back({ queued,
                EngineError(
                    error.kind(), std::move(named), error.sqliteMessage(), error.sqliteCode(), error.extendedCode()) });
        }
    }
    return failures;
}

void RecordSource::runStore(QueuedStore& store)
{
    Statement& statement = *store.statement;
    for (std::size_t value = 0; value < store.count; ++value)
        statement.bind(static_cast<int>(value) + 1, store.values[value]);
    if (!store.key) {
        ahead_.drop();
        statement.run();
        keys_.append(connection_->lastInsertRowId());
        return;
    }
    statement.bind(static_cast<int>(store.count) + 1, *store.key);
    const quint64 changesBefore = tableChanges();
    try {
        statement.run();
    } catch (...) {
        ahead_.ownStore(changesBefore, tableChanges());
        throw;
    }
    ahead_.ownStore(changesBefore, tableChanges());
}

void RecordSource::runQueueFirst()
{
    const std::vector<StoreFailure> failures = runQueuedStores();
    if (!failures.empty())
        throw failures.front().error;
}

void RecordSource::updateRecord()
{
    requireCurrent(EngineOperation::UpdateRecord);
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
        ErrorContext c = context(EngineOperation::FindField);
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
    requireCurrent(EngineOperation::ReadField);
    if (index >= 0 && index < static_cast<int>(row_.size())) {
        if (dirty_[index])
            return pending_[index].toColumnValue().toVariant();
        requireRead(index);
    }
    return row_[index].toVariant();
}

ColumnValue RecordSource::fieldValue(int index) const
{
    requireCurrent(EngineOperation::ReadField);
    if (dirty_[index])
        return pending_[index].toColumnValue();
    requireRead(index);
    return row_[index];
}

bool RecordSource::isNull(int index) const
{
    if (!hasCurrent() || index < 0 || index >= static_cast<int>(row_.size()))
        return true;
    if (dirty_[index])
        return pending_[index].kind == ColumnValue::Kind::Null;
    requireRead(index);
    return row_[index].isNull();
}

bool RecordSource::isEmptyText(int index) const
{
    if (!hasCurrent() || index < 0 || index >= static_cast<int>(row_.size()))
        return true;
    if (dirty_[index]) {
        const BoundValue& pending = pending_[index];
        if (pending.kind == ColumnValue::Kind::Text)
            return pending.size() == 0;
        return pending.kind == ColumnValue::Kind::Null || text(index).isEmpty();
    }
    requireRead(index);
    const ColumnValue& current = row_[index];
    if (current.kind == ColumnValue::Kind::Text)
        return current.text.isEmpty();
    return current.isNull() || textOf(current).isEmpty();
}

QString RecordSource::text(int index) const
{
    if (!hasCurrent() || index < 0 || index >= static_cast<int>(row_.size()))
        return {};
    if (dirty_[index])
        return textOf(pending_[index].toColumnValue());
    requireRead(index);
    return textOf(row_[index]);
}

QString RecordSource::textOf(const ColumnValue& current) const
{
    switch (current.kind) {
    case ColumnValue::Kind::Null:
        return QStringLiteral("");
    case ColumnValue::Kind::Text:
        return current.text;
    case ColumnValue::Kind::Integer:
        return wholeNumberToText(current.integer);
    case ColumnValue::Kind::Real:
        return numberToText(current.real, engine_.numberFormat());
    case ColumnValue::Kind::Other:
        break;
    }
    const QVariant other = current.other.value_or(QVariant());
    if (!other.isValid() || other.isNull())
        return QStringLiteral("");
    if (other.typeId() == QMetaType::Double)
        return numberToText(other.toDouble(), engine_.numberFormat());
    return other.toString();
}

void RecordSource::setValue(const QString& field, const QVariant& value)
{
    setValue(fieldIndex(field), value);
}

void RecordSource::setText(int index, const QString& text)
{
    if (text.isEmpty()) {
        setNull(index);
        return;
    }
    setValue(index, text);
}

void RecordSource::setAsciiText(int index, std::string_view text)
{
    requireAssignable(index);
    // Its bytes are its characters, and only a text field has a size.
    checkLength(index, qsizetype(text.size()));
    assigned(index).setUtf8(text);
}

QString RecordSource::textOf(const QVariant& value) const
{
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return numberToText(value.toDouble(), engine_.numberFormat());
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
    if (isWholeNumber(value))
        return wholeNumberToText(value.toLongLong());
    return value.toString();
}

void RecordSource::checkText(int index, QStringView text) const
{
    const FieldInfo& field = schema_.field(index);
    // A text of n UTF-16 units has at most n characters; only a longer one needs counting.
    if (field.kind == FieldKind::Text && text.size() > field.size)
        checkLength(index, characterCount(text));
    if (text.isEmpty() && !field.allowZeroLength)
        throw EngineError(EngineError::Kind::ZeroLengthNotAllowed, context(EngineOperation::AssignField, index),
            QStringLiteral("zero-length text not allowed"));
}

void RecordSource::checkLength(int index, qsizetype characters) const
{
    const FieldInfo& field = schema_.field(index);
    if (field.kind == FieldKind::Text && characters > field.size)
        throw EngineError(EngineError::Kind::ValueTooLong, context(EngineOperation::AssignField, index),
            QStringLiteral("value of %1 characters exceeds the field size %2").arg(characters).arg(field.size));
}

// A field that cannot be assigned is refused before anything else, with the record as it was.
void RecordSource::failUnassignable(int index) const
{
    if (index < 0 || index >= static_cast<int>(pending_.size()))
        throw EngineError(
            EngineError::Kind::NoSuchField, context(EngineOperation::AssignField), QStringLiteral("no such field"));
    if (schema_.field(index).kind == FieldKind::AutoNumber)
        throw EngineError(EngineError::Kind::ReadOnlyField, context(EngineOperation::AssignField, index),
            QStringLiteral("field is read-only"));
    if (currentUnread_ && !adding_)
        throw EngineError(EngineError::Kind::RecordUnread, context(EngineOperation::AssignField, index),
            QStringLiteral("record could not be read"));
    throw std::logic_error("failUnassignable called for an assignable field");
}

BoundValue& RecordSource::assigned(int index)
{
    if (!dirty_[index])
        pendingFields_.push_back(index);
    dirty_[index] = boundValue;
    return pending_[index];
}

// Written into the statement instead of bound: a walk that clears the same fields at every record
// binds only what differs.
void RecordSource::setNull(int index)
{
    requireAssignable(index);
    assigned(index).setNull();
    dirty_[index] = nullLiteral;
}

void RecordSource::setValue(int index, const QString& text)
{
    requireAssignable(index);
    if (schema_.field(index).kind != FieldKind::Other)
        checkText(index, text);
    assigned(index).setText(text);
}

void RecordSource::setNumber(int index, qint64 number)
{
    requireAssignable(index);
    if (schema_.field(index).kind == FieldKind::Other) {
        BoundValue& value = assigned(index);
        value.setNull();
        value.kind = ColumnValue::Kind::Integer;
        value.integer = number;
        return;
    }
    // A whole number's text is all ASCII: its characters are its bytes, and it is never empty.
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, number);
    checkLength(index, written.ptr - digits);
    assigned(index).setWholeNumberText(number);
}

void RecordSource::setNumber(int index, double number)
{
    requireAssignable(index);
    if (schema_.field(index).kind == FieldKind::Other) {
        BoundValue& value = assigned(index);
        value.setNull();
        value.kind = ColumnValue::Kind::Real;
        value.real = number;
        return;
    }
    // A walk assigns the same few rates over and over; writing one takes longer than storing it.
    const quint64 bits = std::bit_cast<quint64>(number);
    if (!lastNumber_ || lastNumber_->bits != bits)
        lastNumber_ = WrittenNumber { bits, numberToText(number, engine_.numberFormat()) };
    const QString& text = lastNumber_->text;
    checkText(index, text);
    assigned(index).setText(text);
}

void RecordSource::setValue(int index, const ColumnValue& value)
{
    switch (value.kind) {
    case ColumnValue::Kind::Null:
        setNull(index);
        return;
    case ColumnValue::Kind::Text:
        setValue(index, value.text);
        return;
    case ColumnValue::Kind::Integer:
        setNumber(index, value.integer);
        return;
    case ColumnValue::Kind::Real:
        setNumber(index, value.real);
        return;
    case ColumnValue::Kind::Other:
        setValue(index, value.other.value_or(QVariant()));
        return;
    }
}

void RecordSource::setValue(int index, const QVariant& value)
{
    requireAssignable(index);
    // Texts, by far the most assigned values, are checked as they are, without a copy.
    if (value.typeId() == QMetaType::QString) {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (schema_.field(index).kind != FieldKind::Other)
            checkText(index, text);
        assigned(index).setText(text);
        return;
    }
    if (!value.isValid() || value.isNull()) {
        assigned(index).setNull();
        return;
    }
    if (schema_.field(index).kind != FieldKind::Other) {
        const QString text = textOf(value);
        checkText(index, text);
        assigned(index).setText(text);
        return;
    }
    // Kept as given, and bound as what it holds.
    const ColumnValue kept = ColumnValue::fromVariant(value);
    BoundValue& bound = assigned(index);
    bound.setNull();
    bound.kind = kept.kind;
    bound.integer = kept.integer;
    bound.real = kept.real;
    if (kept.kind == ColumnValue::Kind::Other)
        bound.other = value;
}

} // namespace tavik::store

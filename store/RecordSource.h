#pragma once

#include "store/Connection.h"
#include "store/EngineError.h"
#include "store/TableSchema.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavik::store {

class Engine;

// The keys of a dynaset in their order. Keys come mostly in runs of consecutive numbers (an
// autonumber table read in order, records appended one after the other), so runs are kept
// instead of single keys, and a table of millions of records costs a few bytes.
class KeyRuns {
public:
    void append(qint64 key);
    // Keys firstKey, firstKey + 1, … after the last one appended, which is below firstKey.
    void appendRun(qint64 firstKey, std::size_t count);
    void clear();
    std::size_t size() const { return size_; }
    qint64 at(std::size_t position) const;

private:
    struct Run {
        qint64 firstKey;
        std::size_t firstPosition;
        std::size_t count;
    };
    std::vector<Run> runs_;
    std::size_t size_ = 0;
    mutable std::size_t lastRun_ = 0; // walks ask for the neighbour of the last position
};

// Records read ahead of a walk with one statement, since a statement per record costs the walk
// more than the records do. Only inside a transaction; they are handed out in order only, and
// only while nothing has changed the table but the walk itself storing the record it leaves,
// and no commit, rollback or savepoint has come between.
class RecordsAhead {
public:
    void drop() { count_ = 0; }
    // True when the record at position is here as read; its values are swapped into row (no
    // values at all for a record deleted since the dynaset was built).
    bool take(std::size_t position, const Connection& connection, quint64 tableChanges, std::vector<ColumnValue>& row);
    // Reads the records from position on, as many as ascending keys allow up to a bound. A read
    // that fails after the first record keeps those before; the failing one fails when reached.
    // The select's columns after the key are the fields at columns, in that order.
    void read(Statement& select, const KeyRuns& keys, std::size_t position, const std::vector<int>& columns,
              std::size_t fieldCount, const Connection& connection, quint64 tableChanges);
    // The walk stored the record it leaves: the changes of that one store are its own.
    void ownStore(quint64 changesBefore, quint64 changesAfter);

private:
    std::vector<std::vector<ColumnValue>> rows_;
    std::vector<char> found_;
    std::size_t first_ = 0; // position of rows_[0]
    std::size_t count_ = 0;
    std::size_t next_ = 0;  // the one position handed out next
    // Doubles while whole reads are used up, and starts again at one when a read is dropped
    // early, so that a source outside a transaction (where every store commits) reads no more
    // than it uses.
    std::size_t nextReadSize_ = 1;
    quint64 changes_ = 0;
    quint64 epoch_ = 0;
};

// One of the window's data controls: a data file path, a table, and a read-write dynaset over the
// whole table in its natural order. Values assigned to the current record (by field or through a
// bound field) are kept and stored in one statement at the next move or update.
class RecordSource {
public:
    RecordSource(Engine& engine, QString name, QString table, QString connect = QStringLiteral("Access 2000;"));
    ~RecordSource();

    RecordSource(const RecordSource&) = delete;
    RecordSource& operator=(const RecordSource&) = delete;

    const QString& name() const { return name_; }
    const QString& table() const { return table_; }
    const QString& databaseName() const { return databaseName_; }
    // A source bound for reading only opens its file so that it can be read where we may not
    // write it (under /opt, on a read-only share); every binding says which it is.
    enum class Access { ReadWrite, ReadOnly };
    void setDatabaseName(const QString& path, Access access = Access::ReadWrite)
    {
        databaseName_ = path;
        access_ = access;
    }

    // The fields a walk reads: records are then read with these fields only, and a field outside
    // them is read, with the rest of its record, when first asked for. Empty: every field. Kept
    // across refreshes; names the table lacks are passed over (they read as empty all the same).
    void readFields(const QStringList& fields);

    // A walk inside a transaction may queue its stores and run them together: SQLite's code for a
    // store then runs many times in a row instead of between the walk's own steps, and both stay
    // in the processor's caches. While queued, a record added is not yet among the keys, and
    // anything else that needs the file as stored (an update that stays on its record, a move
    // back, a refresh) runs the queue first. Only inserts and the store of a record left are
    // queued.
    void deferStores(bool defer);
    // One queued store that failed, by its place in the queue since the last run.
    struct StoreFailure {
        std::size_t queued;
        EngineError error;
    };
    // Runs the queued stores in their order, each failing on its own. Once SQLite has taken back
    // the transaction they were queued in, whatever store took it back, the rest are dropped:
    // each would be committed alone.
    std::vector<StoreFailure> runQueuedStores();
    // Lets go of queued stores that are not to be run, when a walk ends by an error or a stop.
    void dropQueuedStores() { queuedCount_ = 0; }
    std::size_t queuedStores() const { return queuedCount_; }

    // Stores what is pending, then opens the file and rebuilds the dynaset on its first record.
    // On failure the source is left closed, without records.
    void refresh();
    bool isOpen() const { return connection_ != nullptr; }

    qint64 recordCount() const;
    bool eof() const;
    void moveFirst();
    // Stores what is pending for the record it leaves. The move happens even when storing fails;
    // the error is thrown after it, and the record keeps its stored values.
    void moveNext();
    void addNew();
    void updateRecord();

    // The field's value: text, whole number, float or null (an invalid QVariant).
    QVariant value(const QString& field) const;
    QVariant value(int index) const;
    // The same, as the engine keeps it, for a walk that hands it on to a field of another source.
    ColumnValue fieldValue(int index) const;
    bool isNull(int index) const;

    // Assigning. A value the field cannot take (too long, empty where not allowed, an autonumber)
    // is refused at once, and the record keeps what it had. A value is held as it will be bound,
    // a text as UTF-8, and stored in one statement at the next move or update. Numbers become
    // text in the user's number format in text fields.
    void setValue(const QString& field, const QVariant& value);
    void setValue(int index, const QVariant& value);
    // A text as it is, the empty text included.
    void setValue(int index, const QString& text);
    void setNumber(int index, qint64 number);
    void setNumber(int index, double number);
    void setNull(int index);
    // A value as fieldValue gives it, assigned as a variant holding it would be.
    void setValue(int index, const ColumnValue& value);

    // The field as a bound control shows it: its value as text, the empty text for no value or no
    // current record. Writing the empty text clears the field.
    QString text(int index) const;
    // text(index).isEmpty(), without making the text.
    bool isEmptyText(int index) const;
    void setText(int index, const QString& text);
    // The same for a text of ASCII characters only, given as its bytes; not the empty text.
    void setAsciiText(int index, std::string_view text);

    int fieldIndex(const QString& field) const;          // throws NoSuchField
    int findField(const QString& field) const;           // -1 when absent
    const TableSchema& schema() const { return schema_; }
    // Bound fields cache an index; it is only valid for the schema generation it was taken in.
    quint64 generation() const { return generation_; }
    std::optional<qint64> currentKey() const;
    // True when the move to the current record failed to read it: it shows as empty and refuses
    // every assignment, so that it keeps what it holds in the file.
    bool currentRecordUnread() const { return currentUnread_; }
    Connection& connection() const;

private:
    using StatementCache = std::map<std::string, std::unique_ptr<Statement>, std::less<>>;

    void close();
    void loadCurrent();
    KeyRuns readKeys(Connection& connection, const QString& table) const;
    void clearRow();
    void chooseColumnsRead();
    // The fields outside the read ones, for the current record, the first time one is asked for.
    void requireRead(int index) const
    {
        if (restUnread_ && !rowHolds_[index])
            readRest();
    }
    void readRest() const;
    bool hasCurrent() const { return connection_ && (adding_ || position_ < keys_.size()); }
    // Checked for every field a walk reads or assigns; the error is made out of line.
    void requireCurrent(EngineOperation operation) const
    {
        if (!hasCurrent())
            failWithoutCurrent(operation);
    }
    [[noreturn]] void failWithoutCurrent(EngineOperation operation) const;
    // Leaving: the store of a record the source moves away from, which a walk may queue.
    void storePending(bool leaving = false);
    void queuePending(bool insert);
    // Runs the queue for a use that needs the file as stored; the first failure is thrown.
    void runQueueFirst();
    void discardPending();
    QString textOf(const QVariant& value) const;
    QString textOf(const ColumnValue& value) const;
    void checkText(int index, QStringView text) const;
    void checkLength(int index, qsizetype characters) const;
    // Checked for every value assigned; the error is made out of line.
    void requireAssignable(int index) const
    {
        requireCurrent(EngineOperation::AssignField);
        if (index < 0 || index >= static_cast<int>(pending_.size()) || schema_.field(index).kind == FieldKind::AutoNumber
            || (currentUnread_ && !adding_))
            failUnassignable(index);
    }
    [[noreturn]] void failUnassignable(int index) const;
    // The field's pending value, marked as assigned; the caller fills it.
    BoundValue& assigned(int index);
    // The fields the record was read with that a store has changed: read again when asked for.
    void forgetStored();
    Statement& readAheadStatement();
    quint64 tableChanges() const { return tableChanges_ ? *tableChanges_ : 0; }
    Statement& writeStatement(StatementCache& cache, bool insert);
    QString writeSql(bool insert) const;
    ErrorContext context(EngineOperation operation, int fieldIndex = -1) const;

    Engine& engine_;
    QString name_;
    QString table_;
    QString connect_;
    QString databaseName_;
    Access access_ = Access::ReadWrite;
    quint64 generation_ = 0;

    std::shared_ptr<Connection> connection_;
    TableSchema schema_;
    QString columnList_;
    KeyRuns keys_;
    // What the table was like when keys_ were read, for the next refresh.
    Connection::TableState keysState_;
    std::size_t position_ = 0;
    bool adding_ = false;
    mutable bool currentUnread_ = false;
    // Loaded into in place, so that walking a table reuses the storage of the record before.
    mutable std::vector<ColumnValue> row_;
    // The current record while a new one is being added: it is current again after the insert.
    std::vector<ColumnValue> rowBeforeAdd_;
    QStringList fieldsRead_;
    std::vector<int> columnsRead_;         // the fields a record is read with, in table order
    std::vector<char> isRead_;             // one byte per field: 1 when in columnsRead_
    // True while the current record holds only the fields read; the others are read when asked for.
    mutable bool restUnread_ = false;
    std::vector<char> rowHolds_;           // the fields the current record was read with
    bool restUnreadBeforeAdd_ = false;
    std::vector<BoundValue> pending_;
    // One byte per field: boundValue when pending_ holds a value, nullLiteral when that value is
    // null and the statement says so itself.
    static constexpr char boundValue = 1;
    static constexpr char nullLiteral = 2;
    std::string dirty_;
    std::vector<int> pendingFields_;       // the fields with a value in pending_; sorted when stored
    RecordsAhead ahead_;
    // A store waiting to run: its statement and the values it binds, which keep their buffers for
    // the next store queued in their place.
    struct QueuedStore {
        Statement* statement = nullptr;
        std::vector<BoundValue> values;
        std::size_t count = 0;
        std::optional<qint64> key; // the record an update stores into; none for an insert
    };
    // Its error names no record; the caller names the store's.
    void runStore(QueuedStore& store);
    bool deferStores_ = false;
    std::vector<QueuedStore> queued_;
    std::size_t queuedCount_ = 0;
    bool queuedInTransaction_ = false;
    // The text of the number assigned last; the number format is the engine's and does not change.
    struct WrittenNumber {
        quint64 bits;
        QString text;
    };
    std::optional<WrittenNumber> lastNumber_;
    const quint64* tableChanges_ = nullptr; // owned by connection_
    // Declared last: finalized before the connection they belong to is let go. The write
    // statements are found by the dirty_ pattern they store.
    std::unique_ptr<Statement> readAhead_;
    mutable std::unique_ptr<Statement> readRest_;
    StatementCache inserts_;
    StatementCache updates_;
};

} // namespace tavik::store

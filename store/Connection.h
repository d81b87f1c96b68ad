#pragma once

#include "store/EngineError.h"
#include "store/Statement.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>

struct sqlite3;

namespace tavik::store {

struct OpenOptions {
    bool exclusive = false;
    bool readOnly = false;
    // Read-only only where the file cannot be written: a read-only connection leaves the -wal and
    // -shm files of a WAL-mode file behind, where a read-write one removes them at close.
    bool readOnlyWhereUnwritable = false;
    bool create = false;             // only for files this program makes itself (samples, tests)
    QString password;                // empty: the file carries no password
};

// One open SQLite (SQLCipher) connection. Opening includes applying the key and one read of the
// schema, so a wrong password, a foreign file or a lock held elsewhere fail here and not later.
class Connection {
public:
    static std::unique_ptr<Connection> open(const QString& path, const OpenOptions& options);
    ~Connection();

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return path_; }
    bool isExclusive() const { return options_.exclusive; }
    bool isReadOnly() const { return options_.readOnly; }
    bool isOpen() const { return db_ != nullptr; }
    // Compared in one place so the key is never copied out.
    bool passwordMatches(const QString& password) const { return options_.password == password; }

    // A fresh statement; the caller owns it.
    Statement prepare(const QString& sql, ErrorContext context = {}) const;
    // SQLite's check of every page and record structure and of every index against its table,
    // stopped at the first fault: "ok", or that fault in SQLite's words. An index that lost its
    // table's records passes the quicker check, and SQLite counts and finds records through it.
    QString integrityCheck(ErrorContext context = {}) const;
    // A statement kept by the connection for reuse in loops; reset before it is handed out.
    Statement& cached(const QString& sql, ErrorContext context = {});
    // Runs fixed SQL of the program (never text built from data).
    void execute(const QString& sql, ErrorContext context = {});

    qint64 lastInsertRowId() const;

    // How many rows of the table were inserted, changed or deleted through this connection, as
    // SQLite reports them; the reference stays valid as long as the connection. Record sources
    // compare it to tell whether records they have read ahead may have changed since.
    const quint64& rowChangesOf(const QString& table);
    // Grows at every commit, rollback and reopening, and with every statement run by execute():
    // among those are savepoints, and ROLLBACK TO takes changes back without reporting any row.
    quint64 epoch() const { return epoch_; }
    // Tells whether the rows of the table may have changed between two readings: equal readings
    // mean no row of it was inserted, changed or deleted through this connection, and nothing
    // committed by another, in between (changes SQLite does not report row by row count too).
    struct TableState {
        quint64 ownRows = 0;
        quint32 unreportedRows = 0;
        qint64 othersVersion = 0;
        bool operator==(const TableState&) const = default;
    };
    TableState stateOf(const QString& table);
    bool inTransaction() const;
    ErrorContext context(std::optional<EngineOperation> operation = std::nullopt) const;
    sqlite3* handle() const;

    // Rewrites the whole file under a new key (empty: no key) into a fresh file beside it and
    // renames that over the old one, so a failure at any point leaves the old file as it was.
    void rewriteWithPassword(const QString& newPassword);

    // Closes explicitly and reports a failure; the destructor closes quietly.
    void close();

private:
    Connection(QString path, OpenOptions options);
    void openHandle();
    void applyKeyAndVerify();
    void takeExclusiveLock();
    void exportTo(const QString& target, const QString& password);
    [[noreturn]] void fail(int code, EngineOperation operation) const;
    void watchChanges();
    static void onRowChange(void* self, int operation, const char* database, const char* table, qint64 rowid);
    static int onCommit(void* self);
    // The watched count it raised, if any.
    quint64* countChangeOf(const char* table);
    static int onPrepare(void* self, int action, const char* first, const char* second, const char*, const char*);
    static void onRollback(void* self);

    struct TableChanges {
        QByteArray table;
        quint64 rows = 0;
    };

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    QString path_;
    OpenOptions options_;
    std::deque<TableChanges> tableChanges_; // a deque, so references to its counts stay valid
    // The names SQLite passed lately, as its own pointers, with the count each matched (none:
    // nullptr). SQLite passes the same pointer for every row a statement changes; a statement
    // prepared anew passes the authorizer first, which forgets them, so a freed name is never met.
    struct SeenTable {
        const char* name = nullptr;
        quint64* rows = nullptr;
    };
    std::array<SeenTable, 4> seenTables_ {};
    std::size_t nextSeen_ = 0;
    void forgetSeenTables() { seenTables_.fill(SeenTable {}); }
    quint64 reportedRows_ = 0; // in every table
    quint64 epoch_ = 0;
    std::unique_ptr<sqlite3, Closer> db_;
    // Declared after db_ so the statements are finalized before the handle closes.
    std::unordered_map<QString, std::unique_ptr<Statement>> statements_;
};

// Identifiers come only from the program's fixed lists; quoting keeps them from being read as SQL.
QString quoteIdentifier(const QString& name);

} // namespace tavik::store

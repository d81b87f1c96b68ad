#pragma once

#include "store/EngineError.h"
#include "store/Statement.h"

#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>

struct sqlite3;

namespace tavik::store {

struct OpenOptions {
    bool exclusive = false;
    bool readOnly = false;
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
    // A statement kept by the connection for reuse in loops; reset before it is handed out.
    Statement& cached(const QString& sql, ErrorContext context = {});
    // Runs fixed SQL of the program (never text built from data).
    void execute(const QString& sql, ErrorContext context = {});

    qint64 lastInsertRowId() const;
    bool inTransaction() const;
    ErrorContext context(QString operation = {}) const;
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
    [[noreturn]] void fail(int code, const QString& operation) const;

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    QString path_;
    OpenOptions options_;
    std::unique_ptr<sqlite3, Closer> db_;
    // Declared after db_ so the statements are finalized before the handle closes.
    std::unordered_map<QString, std::unique_ptr<Statement>> statements_;
};

// Identifiers come only from the program's fixed lists; quoting keeps them from being read as SQL.
QString quoteIdentifier(const QString& name);

} // namespace tavik::store

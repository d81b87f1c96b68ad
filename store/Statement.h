#pragma once

#include "store/EngineError.h"

#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace tavik::store {

// One prepared statement, owned for its whole life. Values are always bound, never pasted.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql, ErrorContext context);

    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;

    void bindNull(int index);
    void bind(int index, const QString& text);
    void bind(int index, qint64 number);
    void bind(int index, double number);
    // Null, text, whole number or float, whatever the variant holds.
    void bind(int index, const QVariant& value);

    // Runs one step; true while a row is there.
    bool step();
    // Runs a statement that returns no rows, then resets it for reuse.
    void run();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // Null, text, qint64 or double, as SQLite holds it.
    QVariant value(int column) const;
    QString text(int column) const;
    qint64 integer(int column) const;
    bool isNull(int column) const;

    sqlite3_stmt* handle() const { return statement_.get(); }

private:
    [[noreturn]] void fail(int code, const char* what) const;

    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
    ErrorContext context_;
};

} // namespace tavik::store

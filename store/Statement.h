#pragma once

#include "store/EngineError.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tavik::store {

// Bool and the integer types: what is stored as a whole number.
bool isWholeNumber(const QVariant& value);

// A field's value as the engine keeps it between reading and writing. Lighter than a QVariant,
// since a walk over a table reads, keeps and binds millions of them; a null value keeps the
// storage of its last text, so reading the next record into it allocates nothing.
struct ColumnValue {
    enum class Kind : quint8 { Null, Text, Integer, Real, Other };

    Kind kind = Kind::Null;
    QString text;     // Kind::Text
    qint64 integer = 0;
    double real = 0.0;
    // Kind::Other: a value of any other type, kept as it was given. Optional, so that moving and
    // letting go of the usual values never touches a QVariant.
    std::optional<QVariant> other;

    bool isNull() const { return kind == Kind::Null; }
    void setNull() { kind = Kind::Null; }
    // Null, letting go of the text's storage and of any other value.
    void release();
    QVariant toVariant() const;
    // Takes a variant as it is: null, text, qint64, double or, for anything else, the variant.
    static ColumnValue fromVariant(const QVariant& value);
};

// A value on its way into a statement, kept as SQLite takes it: a text as UTF-8, encoded once when
// it is assigned, so that binding copies nothing. Its buffer is kept when the value is let go of,
// so a walk that assigns a field at every record allocates nothing once it has grown.
struct BoundValue {
    using Kind = ColumnValue::Kind;

    Kind kind = Kind::Null;
    qint64 integer = 0;
    double real = 0.0;
    std::optional<QVariant> other; // Kind::Other

    void setNull();
    // The value is no longer needed: only what is too big to keep for the next value is let go.
    void forget()
    {
        if (capacity_ > keptBytes || other)
            setNull();
    }
    void setText(QStringView text);
    // A text already in UTF-8.
    void setUtf8(std::string_view bytes);
    // The whole number's text, without going through UTF-16.
    void setWholeNumberText(qint64 number);
    // Kind::Text: the UTF-8 bytes. Never a null pointer, so the empty text binds as a text.
    const char* bytes() const { return buffer_ ? buffer_.get() : ""; }
    qsizetype size() const { return size_; }
    bool isEmptyText() const { return kind == Kind::Text && size_ == 0; }
    // The value as the engine reads it, for a pending value that is asked for before it is stored.
    ColumnValue toColumnValue() const;
    // Values and buffers change places; a variant is moved only where there is one.
    void swap(BoundValue& with) noexcept
    {
        std::swap(kind, with.kind);
        std::swap(integer, with.integer);
        std::swap(real, with.real);
        if (other || with.other)
            other.swap(with.other);
        buffer_.swap(with.buffer_);
        std::swap(capacity_, with.capacity_);
        std::swap(size_, with.size_);
    }

private:
    // A megabyte text assigned once is not kept for the rest of the walk.
    static constexpr qsizetype keptBytes = 4096;
    // Room for at least that many bytes; what it held before is not kept.
    char* room(qsizetype bytes);

    std::unique_ptr<char[]> buffer_;
    qsizetype capacity_ = 0;
    qsizetype size_ = 0;
};

// One prepared statement, owned for its whole life. Values are always bound, never pasted.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql, ErrorContext context);

    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;

    void bindNull(int index);
    // The text is encoded into a buffer the statement keeps per parameter and reuses, so binding
    // in a loop allocates nothing once the buffers have grown.
    void bind(int index, QStringView text);
    void bind(int index, const QString& text);
    void bind(int index, qint64 number);
    void bind(int index, double number);
    // Null, text, whole number or float, whatever the variant holds.
    void bind(int index, const QVariant& value);
    void bind(int index, const ColumnValue& value);
    // A text bound straight from the value's own buffer, which must stay as it is until the
    // statement has run.
    void bind(int index, const BoundValue& value);

    // Runs one step; true while a row is there.
    bool step();
    // Runs a statement that returns no rows, then resets it for reuse; its bindings stay.
    void run();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // Null, text, qint64 or double, as SQLite holds it.
    QVariant value(int column) const;
    // The same value, written into target; a text goes into the storage of the text target
    // already holds when nobody else shares it, so a walk does not allocate for every field.
    void readInto(int column, ColumnValue& target) const;
    QString text(int column) const;
    qint64 integer(int column) const;
    bool isNull(int column) const;

    sqlite3_stmt* handle() const { return statement_.get(); }

private:
    [[noreturn]] void fail(int code, EngineOperation what) const;

    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> statement_;
    ErrorContext context_;
    // SQLite reads bound texts from here until the next bind or reset (SQLITE_STATIC).
    std::vector<QByteArray> textBuffers_;
    int parameterCount_ = 0;
};

} // namespace tavik::store

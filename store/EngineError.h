#pragma once

#include "store/EngineOperation.h"

#include <QString>

#include <optional>
#include <stdexcept>

namespace tavik::store {

// Where an engine error happened; every part that is known is filled in.
struct ErrorContext {
    std::optional<EngineOperation> operation;
    QString recordSource; // the record source that did it ("Data3"), empty for a connection's own work
    QString file;
    QString table;
    QString field;
    std::optional<qint64> recordKey;
};

// Every failure of the data engine. It keeps SQLite's own codes and message next to what the
// engine was doing, so that the edge (window, batch) can compose a German text and a log line.
class EngineError : public std::runtime_error {
public:
    enum class Kind {
        CannotOpen,           // missing file, missing folder, no permission
        NotADataFile,         // protected with a password, wrong password, or not SQLite at all
        Busy,                 // another connection or program holds the file
        InUse,                // exclusive use asked for a file this engine already has open
        NoSuchTable,
        NoSuchField,
        FieldExists,
        ValueTooLong,
        ZeroLengthNotAllowed,
        ReadOnlyField,
        NoCurrentRecord,
        RecordUnread,         // the current record could not be read, so nothing is stored into it
        WrongPassword,
        NotExclusive,
        NotOpen,
        Constraint,
        Io,
        Other,
    };

    EngineError(Kind kind, ErrorContext context, QString sqliteMessage = {}, int sqliteCode = 0,
                int extendedCode = 0);

    Kind kind() const { return kind_; }
    const ErrorContext& context() const { return context_; }
    const QString& sqliteMessage() const { return sqliteMessage_; }
    int sqliteCode() const { return sqliteCode_; }
    int extendedCode() const { return extendedCode_; }

    // One line for developers (the sample tool): operation, file, table, field, record and SQLite's
    // text. Never shown to a user: germanMessage() is theirs.
    QString details() const;

    // Classifies a SQLite result code.
    static Kind kindOfSqliteCode(int code);

private:
    Kind kind_;
    ErrorContext context_;
    QString sqliteMessage_;
    int sqliteCode_;
    int extendedCode_;
};

// The German text a user sees for an engine error.
QString germanMessage(const EngineError& error);

// What a SQLite result code means, as part of a German sentence.
QString germanSqliteCause(int code);

// The operation as the user reads it in the list of skipped operations, after the record source
// that did it: "Data3: Feld setzen". Empty when the error names no operation.
QString germanOperation(const ErrorContext& context);

} // namespace tavik::store

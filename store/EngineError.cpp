#include "store/EngineError.h"

#include "store/StoreTexts.h"

#include <sqlcipher/sqlite3.h>

#include <QStringList>

namespace tavik::store {

namespace {

QString composeDetails(EngineError::Kind kind, const ErrorContext& context, const QString& message,
                       int code)
{
    QStringList parts;
    if (const QString operation = germanOperation(context); !operation.isEmpty())
        parts << operation;
    if (!context.file.isEmpty())
        parts << QStringLiteral("file '%1'").arg(context.file);
    if (!context.table.isEmpty())
        parts << QStringLiteral("table '%1'").arg(context.table);
    if (!context.field.isEmpty())
        parts << QStringLiteral("field '%1'").arg(context.field);
    if (context.recordKey)
        parts << QStringLiteral("record %1").arg(*context.recordKey);
    if (!message.isEmpty())
        parts << message;
    if (code != 0)
        parts << QStringLiteral("(SQLite %1)").arg(code);
    if (parts.isEmpty())
        parts << QStringLiteral("engine error %1").arg(static_cast<int>(kind));
    return parts.join(QStringLiteral(": "));
}

} // namespace

EngineError::EngineError(Kind kind, ErrorContext context, QString sqliteMessage, int sqliteCode,
                         int extendedCode)
    : std::runtime_error(composeDetails(kind, context, sqliteMessage, extendedCode).toStdString())
    , kind_(kind)
    , context_(std::move(context))
    , sqliteMessage_(std::move(sqliteMessage))
    , sqliteCode_(sqliteCode)
    , extendedCode_(extendedCode)
{
}

QString EngineError::details() const
{
    return QString::fromStdString(what());
}

EngineError::Kind EngineError::kindOfSqliteCode(int code)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return Kind::CannotOpen;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return Kind::NotADataFile;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Kind::Busy;
    case SQLITE_CONSTRAINT:
        return Kind::Constraint;
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return Kind::Io;
    default:
        return Kind::Other;
    }
}

QString germanOperation(const ErrorContext& context)
{
    if (!context.operation)
        return {};
    const QString name = texts::operationName(*context.operation);
    return context.recordSource.isEmpty() ? name : context.recordSource + QStringLiteral(": ") + name;
}

QString germanSqliteCause(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ERROR:
        return QStringLiteral("die Anweisung ließ sich nicht ausführen");
    case SQLITE_NOMEM:
        return QStringLiteral("der Arbeitsspeicher reicht nicht");
    case SQLITE_READONLY:
        return QStringLiteral("die Datendatei kann nur gelesen werden");
    case SQLITE_INTERRUPT:
        return QStringLiteral("die Arbeit wurde abgebrochen");
    case SQLITE_FULL:
        return QStringLiteral("der Datenträger ist voll");
    case SQLITE_CORRUPT:
        return QStringLiteral("die Datendatei ist beschädigt");
    case SQLITE_TOOBIG:
        return QStringLiteral("der Wert ist zu groß");
    case SQLITE_MISMATCH:
        return QStringLiteral("der Wert passt nicht zur Art des Feldes");
    case SQLITE_SCHEMA:
        return QStringLiteral("der Aufbau der Datendatei hat sich während der Arbeit geändert");
    default:
        return QStringLiteral("Fehler Nr. %1 der Datenbank").arg(code);
    }
}

QString germanMessage(const EngineError& error)
{
    const ErrorContext& c = error.context();
    const QString file = c.file.isEmpty() ? QStringLiteral("Die Datendatei") : QStringLiteral("Die Datei \"%1\"").arg(c.file);
    switch (error.kind()) {
    case EngineError::Kind::CannotOpen:
        return QStringLiteral("%1 kann nicht geöffnet werden. Sie ist nicht vorhanden oder Sie haben keine Berechtigung dafür.").arg(file);
    case EngineError::Kind::NotADataFile:
        if ((error.sqliteCode() & 0xff) == SQLITE_CORRUPT)
            return QStringLiteral("%1 ist beschädigt: SQLite fand fehlerhafte Daten darin.").arg(file);
        return QStringLiteral("%1 ist mit einem Kennwort geschützt oder ist keine Datendatei.").arg(file);
    case EngineError::Kind::Busy:
        return QStringLiteral("%1 wird von einem anderen Programm verwendet. Bitte schließen Sie Tavik 2.0 und Tavik 5.0.").arg(file);
    case EngineError::Kind::InUse:
        return QStringLiteral("%1 ist bereits geöffnet und kann nicht exklusiv geöffnet werden.").arg(file);
    case EngineError::Kind::NoSuchTable:
        return QStringLiteral("Die Tabelle \"%1\" ist in der Datendatei nicht vorhanden.").arg(c.table);
    case EngineError::Kind::NoSuchField:
        return QStringLiteral("Das Feld \"%1\" ist in der Tabelle \"%2\" nicht vorhanden.").arg(c.field, c.table);
    case EngineError::Kind::FieldExists:
        return QStringLiteral("Das Feld \"%1\" ist in der Tabelle \"%2\" bereits vorhanden.").arg(c.field, c.table);
    case EngineError::Kind::ValueTooLong:
        return QStringLiteral("Der Wert ist zu lang für das Feld \"%1\" der Tabelle \"%2\".").arg(c.field, c.table);
    case EngineError::Kind::ZeroLengthNotAllowed:
        return QStringLiteral("Das Feld \"%1\" der Tabelle \"%2\" darf keine leere Zeichenfolge enthalten.").arg(c.field, c.table);
    case EngineError::Kind::ReadOnlyField:
        return QStringLiteral("Das Feld \"%1\" der Tabelle \"%2\" kann nicht geändert werden.").arg(c.field, c.table);
    case EngineError::Kind::NoCurrentRecord:
        return QStringLiteral("Kein aktueller Datensatz in der Tabelle \"%1\".").arg(c.table);
    case EngineError::Kind::RecordUnread:
        return QStringLiteral("Der Datensatz der Tabelle \"%1\" konnte nicht gelesen werden; er wird nicht geändert.").arg(c.table);
    case EngineError::Kind::WrongPassword:
        return QStringLiteral("Das Kennwort für %1 ist falsch.").arg(c.file.isEmpty() ? QStringLiteral("die Datendatei") : QStringLiteral("\"%1\"").arg(c.file));
    case EngineError::Kind::NotExclusive:
        return QStringLiteral("%1 muss zum Ändern des Kennworts exklusiv geöffnet sein.").arg(file);
    case EngineError::Kind::NotOpen:
        return QStringLiteral("%1 ist nicht geöffnet.").arg(file);
    case EngineError::Kind::Constraint:
        return QStringLiteral("Der Datensatz der Tabelle \"%1\" verletzt eine Regel der Datendatei.").arg(c.table);
    case EngineError::Kind::Io:
        if ((error.sqliteCode() & 0xff) == SQLITE_FULL)
            return QStringLiteral("%1 konnte nicht geschrieben werden: Das Laufwerk ist voll.").arg(file);
        return QStringLiteral("Lese- oder Schreibfehler bei %1 (zum Beispiel ein volles Laufwerk).").arg(c.file.isEmpty() ? QStringLiteral("der Datendatei") : QStringLiteral("\"%1\"").arg(c.file));
    case EngineError::Kind::Other:
        break;
    }
    const QString where = c.table.isEmpty() ? QString() : QStringLiteral(" bei der Tabelle \"%1\"").arg(c.table);
    return QStringLiteral("Die Datenbank meldet einen Fehler%1: %2.").arg(where, germanSqliteCause(error.sqliteCode()));
}

} // namespace tavik::store

#pragma once

#include "store/Connection.h"
#include "store/TableSchema.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tavik::store {

class Engine;

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
    void setDatabaseName(const QString& path) { databaseName_ = path; }

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
    // Assigns a value; numbers become text in the user's number format in text fields. A value
    // the field cannot take (too long, empty where not allowed, an autonumber) is refused here,
    // and the record keeps what it had.
    void setValue(const QString& field, const QVariant& value);
    void setValue(int index, const QVariant& value);

    // The field as a bound control shows it: its value as text, the empty text for no value or no
    // current record. Writing the empty text clears the field.
    QString text(int index) const;
    void setText(int index, const QString& text);

    int fieldIndex(const QString& field) const;          // throws NoSuchField
    int findField(const QString& field) const;           // -1 when absent
    const TableSchema& schema() const { return schema_; }
    // Bound fields cache an index; it is only valid for the schema generation it was taken in.
    quint64 generation() const { return generation_; }
    std::optional<qint64> currentKey() const;
    Connection& connection() const;

private:
    void close();
    void loadCurrent();
    bool hasCurrent() const;
    void requireCurrent(const char* operation) const;
    void storePending();
    void insertPending();
    void updatePending();
    void discardPending();
    QVariant converted(int index, const QVariant& value) const;
    Statement& statementFor(char kind);
    ErrorContext context(const char* operation, int fieldIndex = -1) const;

    Engine& engine_;
    QString name_;
    QString table_;
    QString connect_;
    QString databaseName_;
    quint64 generation_ = 0;

    std::shared_ptr<Connection> connection_;
    TableSchema schema_;
    QString columnList_;
    std::vector<qint64> keys_;
    std::size_t position_ = 0;
    bool adding_ = false;
    std::vector<QVariant> row_;
    std::vector<QVariant> pending_;
    QByteArray dirty_;                     // one byte per field: 1 when pending_ holds a value
    int dirtyCount_ = 0;
    // Declared last: finalized before the connection they belong to is let go.
    std::map<QByteArray, std::unique_ptr<Statement>> statements_;
};

} // namespace tavik::store

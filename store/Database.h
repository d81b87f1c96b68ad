#pragma once

#include "store/TableSchema.h"

#include <QString>

#include <memory>

namespace tavik::store {

class Connection;

enum class FieldType { Text = 10, Memo = 12 };

// A field made by TableDef::createField, not yet part of its table.
struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;
    bool allowZeroLength = false;   // as new fields of the older engine: set it to accept ""
};

// One table's definition, for schema work through a database handle.
class TableDef {
public:
    TableDef(std::shared_ptr<Connection> connection, QString table);

    const QString& name() const { return table_; }
    FieldDef createField(const QString& name, FieldType type, int size = 0) const;
    // Stores the field in the table. A name that exists (any case) fails and changes nothing.
    void append(const FieldDef& field);
    TableSchema schema() const;

private:
    std::shared_ptr<Connection> connection_;
    QString table_;
};

// A database handle on one data file. Close releases the handle; the file itself is closed when
// the last handle and record source on it let go.
class Database {
public:
    explicit Database(std::shared_ptr<Connection> connection);

    TableDef tableDef(const QString& table);
    // Changes the file's password; the old one must be the one the file was opened with, and the
    // handle must be exclusive. An empty new password leaves a plain SQLite file.
    void newPassword(const QString& oldPassword, const QString& newPassword);
    void close();
    bool isOpen() const { return connection_ != nullptr; }
    const QString& path() const { return path_; }
    // The shared connection, for a transaction around schema work; throws when closed.
    Connection& connection();

private:

    std::shared_ptr<Connection> connection_;
    QString path_;
};

} // namespace tavik::store

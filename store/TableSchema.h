#pragma once

#include <QString>
#include <QVector>

namespace tavik::store {

class Connection;

// What a field holds, read from how SQLite declares it (see the data file layout).
enum class FieldKind { AutoNumber, Text, Memo, Other };

struct FieldInfo {
    QString name;
    FieldKind kind = FieldKind::Other;
    int size = 0;                  // characters, text fields only
    bool allowZeroLength = true;
};

// The fields of one table, found by name without regard to case, as the data files compare them.
class TableSchema {
public:
    static TableSchema read(Connection& connection, const QString& table);
    static bool tableExists(Connection& connection, const QString& table);

    const QString& table() const { return table_; }
    const QVector<FieldInfo>& fields() const { return fields_; }
    int indexOf(const QString& field) const;   // -1 when absent
    const FieldInfo& field(int index) const { return fields_[index]; }

private:
    QString table_;
    QVector<FieldInfo> fields_;
};

} // namespace tavik::store

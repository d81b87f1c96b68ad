#pragma once

#include "store/Connection.h"
#include "store/TableSchema.h"
#include "tests/support/FileBytes.h"
#include "tools/SampleHotel.h"

#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

// Data files for the preparation tests: an older edition's file, bent by the test where it needs
// an odd one, and plain reads of what the steps left in it.
namespace prepare_fixture {

using tavik::store::Connection;
using tavik::store::OpenOptions;
using Alteration = std::function<void(Connection&)>;

// The older edition's tables with one record each in Einstellungen, Tabelle1 and Tabelle2.
inline QString olderFile(const QString& path, const Alteration& alter = {})
{
    OpenOptions options;
    options.create = true;
    const auto connection = Connection::open(path, options);
    tavik::tools::createOlderEditionTables(*connection);
    tavik::tools::insertRecord(*connection, QStringLiteral("Einstellungen"),
        { { QStringLiteral("Hotelname"), QStringLiteral("Haus am See") } });
    tavik::tools::insertRecord(
        *connection, QStringLiteral("Tabelle1"), { { QStringLiteral("Erw1"), QStringLiteral("101") } });
    tavik::tools::insertRecord(
        *connection, QStringLiteral("Tabelle2"), { { QStringLiteral("Erw1"), QStringLiteral("AB") } });
    if (alter)
        alter(*connection);
    connection->close();
    return path;
}

inline std::unique_ptr<Connection> reader(const QString& path)
{
    OpenOptions options;
    options.readOnly = true;
    return Connection::open(path, options);
}

inline bool hasTable(const QString& path, const QString& table)
{
    return tavik::store::TableSchema::tableExists(*reader(path), table);
}

inline tavik::store::TableSchema schemaOf(const QString& path, const QString& table)
{
    return tavik::store::TableSchema::read(*reader(path), table);
}

// One field of one record, by plain SQL; "<null>" for no value.
inline QString valueOf(const QString& path, const QString& table, const QString& field, qint64 id)
{
    const auto connection = reader(path);
    auto select = connection->prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?1")
            .arg(tavik::store::quoteIdentifier(field), tavik::store::quoteIdentifier(table)));
    select.bind(1, id);
    if (!select.step())
        return QStringLiteral("<no record>");
    return select.isNull(0) ? QStringLiteral("<null>") : select.text(0);
}

// Every article's key and Art7, "<null>" for no value.
inline QMap<qint64, QString> ratesOf(const QString& path)
{
    const auto connection = reader(path);
    auto select = connection->prepare(QStringLiteral("SELECT ID, Art7 FROM Artikel ORDER BY ID"));
    QMap<qint64, QString> rates;
    while (select.step())
        rates.insert(select.integer(0), select.isNull(1) ? QStringLiteral("<null>") : select.text(1));
    return rates;
}

using tavik::testsupport::bytesOf;

} // namespace prepare_fixture

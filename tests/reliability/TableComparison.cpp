#include "TableComparison.h"

#include "store/Connection.h"

#include <QStringList>

namespace tavik::reliability {

namespace {

using store::Connection;
using store::Statement;

QString nameOf(const QString& schema)
{
    return schema == QLatin1String("main") ? QStringLiteral("compared") : QStringLiteral("expected");
}

QStringList tablesOf(Connection& connection, const QString& schema)
{
    QStringList tables;
    Statement select = connection.prepare(
        QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' ORDER BY name").arg(schema));
    while (select.step())
        tables << select.text(0);
    return tables;
}

// SQLite compares whole rows here, values with their storage class: 7 and '7' differ.
QString firstRowOnlyIn(Connection& connection, const QString& table, const QString& in, const QString& notIn)
{
    const QString quoted = store::quoteIdentifier(table);
    Statement rows = connection.prepare(
        QStringLiteral("SELECT * FROM %1.%2 EXCEPT SELECT * FROM %3.%2 LIMIT 1").arg(in, quoted, notIn));
    if (!rows.step())
        return {};
    QStringList values;
    for (int column = 0; column < rows.columnCount() && column < 4; ++column)
        values << rows.columnName(column) + QLatin1Char('=') + rows.text(column).left(40);
    return QStringLiteral("table %1: a row only in the %2 file (%3, ...)")
        .arg(table, nameOf(in), values.join(QStringLiteral(", ")));
}

QString firstSchemaDifference(Connection& connection)
{
    const QString definitions = QStringLiteral("SELECT type, name, sql FROM %1.sqlite_master");
    for (const auto& [in, notIn] : { std::pair { QStringLiteral("main"), QStringLiteral("reference") },
             std::pair { QStringLiteral("reference"), QStringLiteral("main") } }) {
        Statement differing = connection.prepare(definitions.arg(in) + QStringLiteral(" EXCEPT ")
            + definitions.arg(notIn) + QStringLiteral(" LIMIT 1"));
        if (differing.step())
            return QStringLiteral("%1 %2 is defined only so in the %3 file")
                .arg(differing.text(0), differing.text(1), nameOf(in));
    }
    return {};
}

} // namespace

QString firstDifference(const QString& actual, const QString& expected)
{
    store::OpenOptions readOnly;
    readOnly.readOnly = true;
    const auto connection = Connection::open(actual, readOnly);
    Statement attach = connection->prepare(QStringLiteral("ATTACH DATABASE ?1 AS reference"));
    attach.bind(1, expected);
    attach.run();
    if (const QString difference = firstSchemaDifference(*connection); !difference.isEmpty())
        return difference;
    for (const QString& table : tablesOf(*connection, QStringLiteral("reference"))) {
        const QString quoted = store::quoteIdentifier(table);
        Statement counts = connection->prepare(
            QStringLiteral("SELECT (SELECT count(*) FROM main.%1), (SELECT count(*) FROM reference.%1)")
                .arg(quoted));
        counts.step();
        if (counts.integer(0) != counts.integer(1))
            return QStringLiteral("table %1 has %2 rows, expected %3")
                .arg(table)
                .arg(counts.integer(0))
                .arg(counts.integer(1));
        for (const auto& [in, notIn] : { std::pair { QStringLiteral("main"), QStringLiteral("reference") },
                 std::pair { QStringLiteral("reference"), QStringLiteral("main") } }) {
            if (const QString row = firstRowOnlyIn(*connection, table, in, notIn); !row.isEmpty())
                return row;
        }
    }
    return {};
}

} // namespace tavik::reliability

#include "TableRows.h"

#include "store/Connection.h"

namespace tavik::testsupport {

namespace {

std::unique_ptr<store::Connection> reader(const QString& path, const QString& password = {})
{
    store::OpenOptions options;
    options.readOnly = true;
    options.password = password;
    return store::Connection::open(path, options);
}

QString columnsOf(const QStringList& fields)
{
    if (fields.isEmpty())
        return QStringLiteral("*");
    QStringList quoted;
    for (const QString& field : fields)
        quoted << store::quoteIdentifier(field);
    return quoted.join(QLatin1Char(','));
}

} // namespace

QStringList rows(const QString& path, const QString& table, const QStringList& fields, const QString& password)
{
    const auto connection = reader(path, password);
    store::Statement select = connection->prepare(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columnsOf(fields), store::quoteIdentifier(table)));
    QStringList result;
    while (select.step()) {
        QStringList cells;
        for (int i = 0; i < select.columnCount(); ++i)
            cells << (select.isNull(i) ? QStringLiteral("<null>") : select.text(i));
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

QList<QVariantMap> records(const QString& path, const QString& table)
{
    const auto connection = reader(path);
    store::Statement select
        = connection->prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(store::quoteIdentifier(table)));
    QList<QVariantMap> result;
    while (select.step()) {
        QVariantMap record;
        for (int i = 0; i < select.columnCount(); ++i)
            record.insert(select.columnName(i), select.isNull(i) ? QVariant() : QVariant(select.text(i)));
        result << record;
    }
    return result;
}

} // namespace tavik::testsupport

#pragma once

#include "store/Connection.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Small data files for the engine's own tests, made with plain SQL as the layout describes them.
namespace fixture {

inline void makeFile(const QString& path, const QString& password = {}, int guests = 3)
{
    tavik::store::OpenOptions options;
    options.create = true;
    options.password = password;
    auto connection = tavik::store::Connection::open(path, options);
    connection->execute(QStringLiteral(
        "CREATE TABLE \"Gaeste\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, "
        "\"Name\" VARCHAR(50) CHECK(length(\"Name\") <= 50), "
        "\"Kurz\" VARCHAR(5) CHECK(length(\"Kurz\") <= 5) CHECK(\"Kurz\" <> ''), "
        "\"Notiz\" TEXT)"));
    for (int i = 1; i <= guests; ++i) {
        auto insert = connection->prepare(QStringLiteral("INSERT INTO \"Gaeste\" (\"Name\", \"Kurz\") VALUES (?1, ?2)"));
        insert.bind(1, QStringLiteral("Gast %1").arg(i));
        insert.bind(2, QStringLiteral("G%1").arg(i));
        insert.run();
    }
}

// Every row of a table as text, for comparing whole files before and after an operation.
inline QStringList rows(const QString& path, const QString& table, const QString& password = {})
{
    tavik::store::OpenOptions options;
    options.readOnly = true;
    options.password = password;
    auto connection = tavik::store::Connection::open(path, options);
    auto select = connection->prepare(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(tavik::store::quoteIdentifier(table)));
    QStringList result;
    while (select.step()) {
        QStringList cells;
        for (int i = 0; i < select.columnCount(); ++i)
            cells << (select.isNull(i) ? QStringLiteral("<null>") : select.text(i));
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace fixture

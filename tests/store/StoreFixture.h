#pragma once

#include "store/Connection.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TableRows.h"

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

using tavik::testsupport::bytesOf;
using tavik::testsupport::rows;

} // namespace fixture

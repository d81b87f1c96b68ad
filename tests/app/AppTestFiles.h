#pragma once

#include "store/Connection.h"
#include "tests/support/FileBytes.h"

#include <QString>

// Reading back the files a test's run left, for the app tests.
namespace testfiles {

using tavik::testsupport::bytesOf;
using tavik::testsupport::writeFile;

// The first column of the first row a query gives, "<none>" when it gives none.
inline QString firstValue(const QString& path, const QString& sql)
{
    auto connection = tavik::store::Connection::open(path, tavik::store::OpenOptions{});
    tavik::store::Statement select = connection->prepare(sql);
    return select.step() ? select.text(0) : QStringLiteral("<none>");
}

inline QString memo13Of(const QString& path)
{
    return firstValue(path, QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid LIMIT 1"));
}

} // namespace testfiles

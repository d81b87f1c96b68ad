#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tavik::testsupport {

// Every record of a table as one line of text in rowid order: the fields named (all of them when
// none is), "|"-joined, "<null>" for no value. Made for comparing a file before and after a step.
QStringList rows(
    const QString& path, const QString& table, const QStringList& fields = {}, const QString& password = {});

// Every record of a table by field name, in rowid order; a field without value is an invalid
// QVariant, every other value its text.
QList<QVariantMap> records(const QString& path, const QString& table);

} // namespace tavik::testsupport

#pragma once

#include <QString>

namespace tavik::testsupport {

// Damage done to one page in the middle of a table's records, as a failing disk or a half-written
// copy leaves it. Both keep the rest of the file as it was.
enum class PageDamage {
    // The page's list of where its records lie points outside the page: SQLite's check of every
    // page finds it, while reading the records gives garbage without an error.
    RecordPointers,
    // The first record's header claims more bytes than it has: every page looks whole to SQLite's
    // check, and only reading that record fails.
    RecordHeader,
};

// False when the table has too few records to have pages below its first one.
bool damageMiddlePage(const QString& dataFile, const QString& table, PageDamage damage);

} // namespace tavik::testsupport

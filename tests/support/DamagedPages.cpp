#include "DamagedPages.h"

#include "FileBytes.h"
#include "store/Connection.h"

namespace tavik::testsupport {

namespace {

constexpr unsigned char interiorTablePage = 0x05;
constexpr unsigned char leafTablePage = 0x0d;

int bigEndian(const QByteArray& bytes, qsizetype at, int width)
{
    int value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// SQLite's variable-length number; returns the position after it.
qsizetype skipVarint(const QByteArray& bytes, qsizetype at)
{
    for (int i = 0; i < 8; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0x80) == 0)
            return at + i + 1;
    }
    return at + 9;
}

} // namespace

bool damageMiddlePage(const QString& dataFile, const QString& table, PageDamage damage)
{
    int rootPage = 0;
    int pageSize = 0;
    {
        const auto connection = store::Connection::open(dataFile, store::OpenOptions {});
        store::Statement root = connection->prepare(
            QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?1"));
        root.bind(1, table);
        if (!root.step())
            return false;
        rootPage = static_cast<int>(root.integer(0));
        store::Statement size = connection->prepare(QStringLiteral("PRAGMA page_size"));
        size.step();
        pageSize = static_cast<int>(size.integer(0));
    }
    QByteArray bytes = bytesOf(dataFile);
    const qsizetype root = qsizetype(rootPage - 1) * pageSize;
    if (static_cast<unsigned char>(bytes[root]) != interiorTablePage)
        return false;
    const int children = bigEndian(bytes, root + 3, 2);
    const int middleCell = bigEndian(bytes, root + 12 + 2 * (children / 2), 2);
    const qsizetype page = qsizetype(bigEndian(bytes, root + middleCell, 4) - 1) * pageSize;
    if (static_cast<unsigned char>(bytes[page]) != leafTablePage)
        return false;
    const int records = bigEndian(bytes, page + 3, 2);
    switch (damage) {
    case PageDamage::RecordPointers:
        bytes.replace(page + 8, 2 * records, QByteArray(2 * records, '\xff'));
        break;
    case PageDamage::RecordHeader: {
        const qsizetype record = page + bigEndian(bytes, page + 8, 2);
        const qsizetype header = skipVarint(bytes, skipVarint(bytes, record)); // past its size and key
        bytes[header] = 0x7f;
        break;
    }
    }
    return writeFile(dataFile, bytes);
}

} // namespace tavik::testsupport

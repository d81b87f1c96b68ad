#include "store/Recovery.h"

#include "store/Connection.h"

#include <QFile>
#include <QFileInfo>

namespace tavik::store {

bool recoverInterruptedWrite(const QString& path)
{
    const QString journal = path + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal))
        return true;
    try {
        OpenOptions exclusive;
        exclusive.exclusive = true;
        // Opening reads the schema, and that read plays a hot journal back.
        std::unique_ptr<Connection> connection = Connection::open(path, exclusive);
        // What is left now is a journal SQLite does not count as hot (a crash before the first
        // page reached the file left its header unwritten): nothing to play back, only in the way.
        if (QFileInfo::exists(journal))
            QFile::remove(journal);
        connection->close();
    } catch (const EngineError&) {
        // Protected, foreign or held elsewhere: the copy will refuse the file and say so.
    }
    return !QFileInfo::exists(journal);
}

} // namespace tavik::store

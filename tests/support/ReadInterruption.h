#pragma once

#include <sqlcipher/sqlite3.h>

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

// Interrupts, once, the read of records that begins at a given key, as a disk that fails for a
// moment would; every other statement runs. The reading statement is recognised by its bound
// range ("BETWEEN <key> AND").
class ReadInterruption {
public:
    ReadInterruption(sqlite3* db, qint64 firstKey)
        : db_(db)
        , marker_("BETWEEN " + QByteArray::number(firstKey) + " AND")
    {
        sqlite3_progress_handler(db_, 1, &ReadInterruption::check, this);
    }
    ~ReadInterruption() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }

    ReadInterruption(const ReadInterruption&) = delete;
    ReadInterruption& operator=(const ReadInterruption&) = delete;

    bool fired() const { return fired_; }

private:
    static int check(void* self)
    {
        auto* interruption = static_cast<ReadInterruption*>(self);
        if (interruption->fired_)
            return 0;
        for (sqlite3_stmt* statement = sqlite3_next_stmt(interruption->db_, nullptr); statement;
             statement = sqlite3_next_stmt(interruption->db_, statement)) {
            if (!sqlite3_stmt_busy(statement))
                continue;
            char* sql = sqlite3_expanded_sql(statement);
            const bool reading = sql && std::strstr(sql, interruption->marker_.constData());
            sqlite3_free(sql);
            if (reading) {
                interruption->fired_ = true;
                return 1;
            }
        }
        return 0;
    }

    sqlite3* db_;
    QByteArray marker_;
    bool fired_ = false;
};

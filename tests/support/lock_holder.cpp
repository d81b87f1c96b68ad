// Keeps SQLite's lock on a data file the way a running edition does, so that tests can check how
// a file in use is treated.
//
//   tavik-test-lockholder --exclusive|--shared <file>
//
// Prints "locked" once it holds the lock and keeps it until its standard input closes, so a test
// ends it by closing that channel, and a test that dies ends it too.

#include <sqlcipher/sqlite3.h>

#include <iostream>
#include <limits>
#include <memory>
#include <string_view>

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

const char* lockStatements(std::string_view mode)
{
    if (mode == "--exclusive")
        return "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;";
    // A read inside an open transaction keeps its shared lock until the transaction ends.
    if (mode == "--shared")
        return "BEGIN; SELECT count(*) FROM sqlite_master;";
    return nullptr;
}

int failed(sqlite3* db, const char* step)
{
    std::cerr << "tavik-test-lockholder: " << step << ": " << (db ? sqlite3_errmsg(db) : "out of memory")
              << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const char* statements = argc == 3 ? lockStatements(argv[1]) : nullptr;
    if (!statements) {
        std::cerr << "usage: tavik-test-lockholder --exclusive|--shared <file>\n";
        return 2;
    }
    sqlite3* raw = nullptr;
    // Without SQLITE_OPEN_CREATE a wrong path fails instead of leaving an empty data file behind.
    const int opened = sqlite3_open_v2(argv[2], &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, Closer> db(raw);
    if (opened != SQLITE_OK)
        return failed(raw, "open");
    if (sqlite3_exec(raw, statements, nullptr, nullptr, nullptr) != SQLITE_OK)
        return failed(raw, "lock");
    std::cout << "locked" << std::endl;
    std::cin.ignore(std::numeric_limits<std::streamsize>::max());
    return 0;
}

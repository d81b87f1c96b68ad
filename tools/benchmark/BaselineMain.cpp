// The baseline: the database work of task 4 done with SQLite's C API and nothing else, to show
// what the library itself needs for it. Every reservation is read once, the charge lines it has
// are inserted and its fields are updated once, in one transaction with prepared statements.
// The values written are texts of the same kind and length as the migration writes; no number
// is read or computed, since that work belongs to the migration and not to the library. A line
// whose rate or amount is no number ("19 %", "n.a.", nothing) is written by the migration all the
// same and only left out of the sums, which is arithmetic, not database work; so on such data too
// every line whose text is there is written, and the benchmark's count of lines checks that.

#include <sqlcipher/sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

class SqliteFailure : public std::runtime_error {
public:
    SqliteFailure(sqlite3* db, const std::string& doing)
        : std::runtime_error(doing + ": " + (db ? sqlite3_errmsg(db) : "out of memory"))
    {
    }
};

DatabaseHandle openFile(const char* path)
{
    sqlite3* raw = nullptr;
    // Everything runs on one thread, as in the migration.
    const int code = sqlite3_open_v2(path, &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    DatabaseHandle db(raw); // SQLite hands out a handle even when it fails
    if (code != SQLITE_OK)
        throw SqliteFailure(raw, std::string("open ") + path);
    return db;
}

StatementHandle prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        throw SqliteFailure(db, std::string("prepare ") + sql);
    return StatementHandle(raw);
}

void execute(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SqliteFailure(db, sql);
}

void runToEnd(sqlite3* db, sqlite3_stmt* statement, const char* doing)
{
    if (sqlite3_step(statement) != SQLITE_DONE)
        throw SqliteFailure(db, doing);
    sqlite3_reset(statement);
}

// Every field, as the migration's record source reads every field of a reservation. Updating the
// row a SELECT stands on is safe in SQLite; the scan goes on with the next rowid.
constexpr const char* selectReservations = "SELECT * FROM Reservierungen ORDER BY rowid";

// One price line: the columns of its text, rate and amount, and its category.
struct LineColumns {
    const char* text;
    const char* rate;
    const char* amount;
    const char* category;
};
constexpr std::array<LineColumns, 7> lineColumns = { {
    { "Opt1", "Erw16", "Re10", "Zimmerangebot" },
    { "Re11", "Erw17", "Re12", "Verpflegung" },
    { "Re13", "Erw18", "Re14", nullptr },
    { "Re15", "Erw19", "Re16", nullptr },
    { "Re21", "Erw20", "Re22", nullptr },
    { "Re23", "Erw21", "Re24", nullptr },
    { "Spare1", nullptr, "Spare2", "Steuer/Kurtaxe" },
} };

constexpr const char* insertLineSql = "INSERT INTO Verzehr (Ver1, Ver2, Ver3, Ver4, Ver5, Ver6, Ver8, Ver10, "
                                      "Z1) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
// The four totals and the overall total, then the fourteen fields whose content has moved.
constexpr const char* updateReservationSql
    = "UPDATE Reservierungen SET Erw17 = ?1, Erw18 = ?2, Erw19 = ?3, Erw20 = ?4, Re17 = ?5, Spare3 = NULL, "
      "Re11 = NULL, Re12 = NULL, Re13 = NULL, Re14 = NULL, Re15 = NULL, Re16 = NULL, Re21 = NULL, Re22 = "
      "NULL, "
      "Re23 = NULL, Erw21 = NULL, Re24 = NULL, Spare1 = NULL, Spare2 = NULL WHERE rowid = ?6";

// Column positions of the reservation table, looked up by name once.
class ReservationColumns {
public:
    explicit ReservationColumns(sqlite3_stmt* select)
    {
        for (int i = 0; i < sqlite3_column_count(select); ++i)
            names_[i] = sqlite3_column_name(select, i);
        count_ = sqlite3_column_count(select);
    }
    int operator()(const char* name) const
    {
        for (int i = 0; i < count_; ++i) {
            if (sqlite3_stricmp(names_[i].c_str(), name) == 0)
                return i;
        }
        throw std::runtime_error(std::string("no column ") + name);
    }

private:
    std::array<std::string, 128> names_;
    int count_ = 0;
};

void bindColumn(sqlite3_stmt* statement, int parameter, sqlite3_stmt* row, int column)
{
    const auto* text = sqlite3_column_text(row, column);
    if (text)
        sqlite3_bind_text(statement, parameter, reinterpret_cast<const char*>(text),
            sqlite3_column_bytes(row, column), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(statement, parameter);
}

struct Counts {
    long long reservations = 0;
    long long chargeLines = 0;
};

class BaselineRun {
public:
    explicit BaselineRun(sqlite3* db)
        : db_(db)
        , select_(prepare(db, selectReservations))
        , insert_(prepare(db, insertLineSql))
        , update_(prepare(db, updateReservationSql))
    {
        const ReservationColumns column(select_.get());
        id_ = column("ID");
        for (std::size_t i = 0; i < lineColumns.size(); ++i) {
            text_[i] = column(lineColumns[i].text);
            rate_[i] = lineColumns[i].rate ? column(lineColumns[i].rate) : -1;
            amount_[i] = column(lineColumns[i].amount);
        }
        total_ = column("Re17");
    }

    Counts run()
    {
        execute(db_, "BEGIN");
        int code = SQLITE_ROW;
        while ((code = sqlite3_step(select_.get())) == SQLITE_ROW) {
            insertLines();
            updateReservation();
            ++counts_.reservations;
        }
        if (code != SQLITE_DONE)
            throw SqliteFailure(db_, "read reservations");
        execute(db_, "COMMIT");
        return counts_;
    }

private:
    void insertLines()
    {
        sqlite3_stmt* row = select_.get();
        for (std::size_t i = 0; i < lineColumns.size(); ++i) {
            if (sqlite3_column_bytes(row, text_[i]) == 0)
                continue;
            sqlite3_stmt* insert = insert_.get();
            sqlite3_bind_text(insert, 1, "1", 1, SQLITE_STATIC);
            sqlite3_bind_int64(insert, 2, ++counts_.chargeLines);
            if (rate_[i] >= 0)
                bindColumn(insert, 3, row, rate_[i]);
            else
                sqlite3_bind_text(insert, 3, "0", 1, SQLITE_STATIC);
            bindColumn(insert, 4, row, amount_[i]);
            bindColumn(insert, 5, row, amount_[i]);
            bindColumn(insert, 6, row, id_);
            if (lineColumns[i].category)
                sqlite3_bind_text(insert, 7, lineColumns[i].category, -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, 7);
            sqlite3_bind_text(insert, 8, "ZR", 2, SQLITE_STATIC);
            bindColumn(insert, 9, row, text_[i]);
            runToEnd(db_, insert, "insert charge line");
        }
    }

    void updateReservation()
    {
        sqlite3_stmt* row = select_.get();
        sqlite3_stmt* update = update_.get();
        for (int parameter = 1; parameter <= 4; ++parameter)
            bindColumn(update, parameter, row, amount_[parameter]);
        bindColumn(update, 5, row, total_);
        sqlite3_bind_int64(update, 6, sqlite3_column_int64(row, id_));
        runToEnd(db_, update, "update reservation");
    }

    sqlite3* db_;
    StatementHandle select_;
    StatementHandle insert_;
    StatementHandle update_;
    int id_ = -1;
    int total_ = -1;
    std::array<int, lineColumns.size()> text_ {};
    std::array<int, lineColumns.size()> rate_ {};
    std::array<int, lineColumns.size()> amount_ {};
    Counts counts_;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: %s DATENDATEI\n", argv[0]);
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const DatabaseHandle db = openFile(argv[1]);
        const Counts counts = BaselineRun(db.get()).run();
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::printf("{\"seconds\": %.6f, \"reservations\": %lld, \"chargeLines\": %lld}\n", seconds.count(),
            counts.reservations, counts.chargeLines);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Fehler: %s\n", error.what());
        return 1;
    }
}

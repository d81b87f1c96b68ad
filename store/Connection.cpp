#include "store/Connection.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstring>
#include <memory>

namespace tavik::store {

namespace {
// Long enough to ride out another reader's short transaction, short enough to report a file
// that a running edition keeps locked without making the user wait.
constexpr int busyTimeoutMs = 500;
// SQLite reads a file in WAL mode only with its -shm and -wal files beside it, which it cannot make
// in a folder we may not write (under /opt, on a read-only share). Told that the file is immutable,
// it reads the file alone, which is only sound where nobody here can change the file and no
// journal or log beside it holds changes that reading the file alone would miss.
bool cannotChange(const QString& path)
{
    const QFileInfo file(path);
    if (file.isWritable() || QFileInfo(file.absolutePath()).isWritable())
        return false;
    for (const char* neighbour : { "-wal", "-journal" }) {
        if (QFileInfo(path + QLatin1String(neighbour)).size() > 0)
            return false;
    }
    return true;
}

QByteArray immutableUri(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
}

// A file in WAL mode without its log beside it is open nowhere (every connection keeps the log
// while it lives; an index file without it is a reader's leftover) and holds all its data itself.
// Read the usual way, SQLite makes the log and leaves it empty when it goes, since a reader may not
// remove it: every later copy of the file would then find it in use. Read as immutable, it is as
// safe from a writer starting meanwhile as the copy of the file itself. An encrypted file shows no
// mode and is read the usual way.
bool isWalFileOpenNowhere(const QString& path)
{
    if (QFileInfo::exists(path + QLatin1String("-wal")))
        return false;
    // Through SQLite's file layer, which keeps a file's locks for the whole process: closing a
    // descriptor of our own would drop the locks another connection here holds on it.
    sqlite3_vfs* const files = sqlite3_vfs_find(nullptr);
    if (!files)
        return false;
    // A main file's name ends with an empty list of URI parameters, as SQLite hands it over.
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath()) + QByteArray(2, '\0');
    const std::unique_ptr<char[]> storage(new char[std::size_t(files->szOsFile)]());
    auto* const file = reinterpret_cast<sqlite3_file*>(storage.get());
    int opened = 0;
    if (files->xOpen(files, name.constData(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &opened) != SQLITE_OK
        || !file->pMethods)
        return false;
    unsigned char header[20] = {};
    const bool read = file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK;
    file->pMethods->xClose(file);
    if (!read)
        return false;
    return std::memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 2 && header[19] == 2;
}

// The program uses the library from one thread only (each connection on the thread that opened
// it, and no second thread opens one), so the library's own locks around every allocation and
// page-cache lookup are pure cost: about a twentieth of a run's instructions. Its count of the
// memory it holds, kept at every allocation and release, serves no limit here and costs a few
// hundredths more. The settings only take before the library's first use; made later, they are
// refused and the locks and counts stay.
void useLibraryFromOneThread()
{
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_SINGLETHREAD);
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    Q_UNUSED(configured);
}

} // namespace

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void Connection::Closer::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

Connection::Connection(QString path, OpenOptions options)
    : path_(std::move(path))
    , options_(std::move(options))
{
}

Connection::~Connection()
{
    statements_.clear();
}

std::unique_ptr<Connection> Connection::open(const QString& path, const OpenOptions& options)
{
    std::unique_ptr<Connection> connection(new Connection(path, options));
    connection->openHandle();
    return connection;
}

void Connection::openHandle()
{
    if (!options_.create && !QFileInfo(path_).isFile())
        throw EngineError(
            EngineError::Kind::CannotOpen, context(EngineOperation::Open), QString(), SQLITE_CANTOPEN, SQLITE_CANTOPEN);
    if (options_.readOnlyWhereUnwritable && !QFileInfo(path_).isWritable())
        options_.readOnly = true;
    int flags = options_.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    // Each connection is used on one thread only, so SQLite's per-call locking is pure cost.
    flags |= SQLITE_OPEN_NOMUTEX;
    if (options_.create && !options_.readOnly)
        flags |= SQLITE_OPEN_CREATE;
    useLibraryFromOneThread();
    QByteArray name = path_.toUtf8();
    if (options_.readOnly && !options_.exclusive && (cannotChange(path_) || isWalFileOpenNowhere(path_))) {
        name = immutableUri(path_);
        flags |= SQLITE_OPEN_URI;
    }
    sqlite3* raw = nullptr;
    const int code = sqlite3_open_v2(name.constData(), &raw, flags, nullptr);
    // SQLite hands out a handle even when it fails; it must be closed all the same.
    db_.reset(raw);
    if (code != SQLITE_OK)
        fail(code, EngineOperation::Open);
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, busyTimeoutMs);
    watchChanges();
    applyKeyAndVerify();
    if (options_.exclusive)
        takeExclusiveLock();
}

void Connection::watchChanges()
{
    ++epoch_;
    sqlite3_update_hook(db_.get(), &Connection::onRowChange, this);
    sqlite3_commit_hook(db_.get(), &Connection::onCommit, this);
    sqlite3_rollback_hook(db_.get(), &Connection::onRollback, this);
    sqlite3_set_authorizer(db_.get(), &Connection::onPrepare, this);
}

int Connection::onPrepare(void* self, int action, const char* first, const char* second, const char*, const char*)
{
    // A table dropped or altered loses its rows without a report of any; counted as a change of
    // every row, when the statement is prepared, so that one prepared and never run counts too.
    Connection& connection = *static_cast<Connection*>(self);
    connection.forgetSeenTables();
    const char* table = nullptr;
    if (action == SQLITE_DROP_TABLE || action == SQLITE_DROP_TEMP_TABLE)
        table = first;
    else if (action == SQLITE_ALTER_TABLE)
        table = second; // after the file's name
    if (table)
        connection.countChangeOf(table);
    return SQLITE_OK;
}

void Connection::onRowChange(void* self, int, const char*, const char* table, qint64)
{
    // A table of that name in an attached file counts too: one change too many only costs a read.
    Connection& connection = *static_cast<Connection*>(self);
    ++connection.reportedRows_;
    for (const SeenTable& seen : connection.seenTables_) {
        if (seen.name == table) {
            if (seen.rows)
                ++*seen.rows;
            return;
        }
    }
    SeenTable& seen = connection.seenTables_[connection.nextSeen_++ % connection.seenTables_.size()];
    seen = SeenTable { table, connection.countChangeOf(table) };
}

quint64* Connection::countChangeOf(const char* table)
{
    for (TableChanges& watched : tableChanges_) {
        if (sqlite3_stricmp(watched.table.constData(), table) == 0) {
            ++watched.rows;
            return &watched.rows;
        }
    }
    return nullptr;
}

int Connection::onCommit(void* self)
{
    ++static_cast<Connection*>(self)->epoch_;
    return 0; // the commit goes ahead
}

void Connection::onRollback(void* self)
{
    ++static_cast<Connection*>(self)->epoch_;
}

const quint64& Connection::rowChangesOf(const QString& table)
{
    const QByteArray name = table.toUtf8();
    for (const TableChanges& watched : tableChanges_) {
        if (sqlite3_stricmp(watched.table.constData(), name.constData()) == 0)
            return watched.rows;
    }
    tableChanges_.push_back(TableChanges { name, 0 });
    forgetSeenTables();
    return tableChanges_.back().rows;
}

Connection::TableState Connection::stateOf(const QString& table)
{
    TableState state;
    state.ownRows = rowChangesOf(table);
    // Rows emptied at once by a DELETE without WHERE are counted here but never reported.
    // Both taken modulo 2^32, as SQLite's own count is an int.
    state.unreportedRows = static_cast<quint32>(sqlite3_total_changes(db_.get())) - static_cast<quint32>(reportedRows_);
    Statement version = prepare(QStringLiteral("PRAGMA data_version"), context(EngineOperation::Refresh));
    version.step();
    state.othersVersion = version.integer(0);
    return state;
}

void Connection::applyKeyAndVerify()
{
    if (!options_.password.isEmpty()) {
        const QByteArray key = options_.password.toUtf8();
        if (const int code = sqlite3_key(db_.get(), key.constData(), static_cast<int>(key.size())); code != SQLITE_OK)
            fail(code, EngineOperation::Open);
    }
    // SQLCipher only notices a wrong key, and SQLite a foreign file, at the first read.
    char* message = nullptr;
    const int code = sqlite3_exec(db_.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (code != SQLITE_OK)
        fail(code, EngineOperation::Open);
}

void Connection::takeExclusiveLock()
{
    execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), context(EngineOperation::OpenExclusive));
    if (options_.readOnly) {
        execute(QStringLiteral("SELECT count(*) FROM sqlite_master"), context(EngineOperation::OpenExclusive));
        return;
    }
    // In exclusive locking mode the lock of the first write transaction is kept until close.
    execute(QStringLiteral("BEGIN EXCLUSIVE"), context(EngineOperation::OpenExclusive));
    execute(QStringLiteral("COMMIT"), context(EngineOperation::OpenExclusive));
}

void Connection::fail(int code, EngineOperation operation) const
{
    const int extended = db_ ? sqlite3_extended_errcode(db_.get()) : code;
    const QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_.get())) : QString::fromUtf8(sqlite3_errstr(code));
    throw EngineError(EngineError::kindOfSqliteCode(code), context(operation), message, code, extended);
}

ErrorContext Connection::context(std::optional<EngineOperation> operation) const
{
    ErrorContext c;
    c.operation = operation;
    c.file = path_;
    return c;
}

sqlite3* Connection::handle() const
{
    if (!db_)
        throw EngineError(EngineError::Kind::NotOpen, context(EngineOperation::Use));
    return db_.get();
}

Statement Connection::prepare(const QString& sql, ErrorContext ctx) const
{
    if (ctx.file.isEmpty())
        ctx.file = path_;
    return Statement(handle(), sql, std::move(ctx));
}

Statement& Connection::cached(const QString& sql, ErrorContext ctx)
{
    auto found = statements_.find(sql);
    if (found == statements_.end())
        found = statements_.emplace(sql, std::make_unique<Statement>(prepare(sql, std::move(ctx)))).first;
    else
        found->second->reset();
    return *found->second;
}

QString Connection::integrityCheck(ErrorContext context) const
{
    Statement check = prepare(QStringLiteral("PRAGMA integrity_check(1)"), std::move(context));
    return check.step() ? check.text(0) : QString();
}

void Connection::execute(const QString& sql, ErrorContext ctx)
{
    ++epoch_;
    Statement statement = prepare(sql, std::move(ctx));
    statement.run();
}

qint64 Connection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(handle());
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(handle()) == 0;
}

void Connection::close()
{
    statements_.clear();
    if (!db_)
        return;
    const int code = sqlite3_close(db_.get());
    if (code != SQLITE_OK)
        fail(code, EngineOperation::Close);
    db_.release();
}

} // namespace tavik::store

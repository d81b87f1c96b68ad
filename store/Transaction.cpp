#include "store/Transaction.h"

#include "store/Connection.h"

namespace tavik::store {

namespace {
int nextSavepointNumber()
{
    // Only needs to differ between guards alive at the same time on one thread.
    static thread_local int counter = 0;
    return ++counter;
}
} // namespace

// The outermost guard begins a plain transaction, not a savepoint: while any savepoint is open,
// SQLite keeps every page its statements write a second time in the statement journal (in memory
// with this library's temp store) and lets it go only when the last savepoint ends. A savepoint
// that spans a long import would hold such a journal for the whole walk; inner guards end soon.
Transaction::Transaction(Connection& connection)
    : connection_(connection)
{
    const ErrorContext context = connection_.context(EngineOperation::BeginTransaction);
    if (!connection_.inTransaction()) {
        connection_.execute(QStringLiteral("BEGIN"), context);
        return;
    }
    name_ = QStringLiteral("tavik_%1").arg(nextSavepointNumber());
    connection_.execute(QStringLiteral("SAVEPOINT ") + name_, context);
}

Transaction::~Transaction()
{
    if (!open_ || !connection_.inTransaction())
        return;
    try {
        if (name_.isEmpty()) {
            connection_.execute(QStringLiteral("ROLLBACK"));
            return;
        }
        connection_.execute(QStringLiteral("ROLLBACK TO ") + name_);
        connection_.execute(QStringLiteral("RELEASE ") + name_);
    } catch (...) {
        // A destructor must not throw; SQLite rolls back an unfinished transaction at close.
    }
}

void Transaction::commit()
{
    // On a full disk or an I/O error SQLite rolls the whole transaction back by itself; what
    // was written since the guard began is gone, and that must not pass for a commit.
    if (!connection_.inTransaction()) {
        open_ = false;
        throw EngineError(EngineError::Kind::Io, connection_.context(EngineOperation::Commit),
            QStringLiteral("the transaction was rolled back after an error"));
    }
    connection_.execute(name_.isEmpty() ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + name_,
        connection_.context(EngineOperation::Commit));
    open_ = false;
}

} // namespace tavik::store

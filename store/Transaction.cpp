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

Transaction::Transaction(Connection& connection)
    : connection_(connection)
    , name_(QStringLiteral("tavik_%1").arg(nextSavepointNumber()))
{
    connection_.execute(QStringLiteral("SAVEPOINT ") + name_, connection_.context(QStringLiteral("begin transaction")));
}

Transaction::~Transaction()
{
    if (!open_ || !connection_.inTransaction())
        return;
    try {
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
        throw EngineError(EngineError::Kind::Io, connection_.context(QStringLiteral("commit")),
                          QStringLiteral("the transaction was rolled back after an error"));
    }
    connection_.execute(QStringLiteral("RELEASE ") + name_, connection_.context(QStringLiteral("commit")));
    open_ = false;
}

} // namespace tavik::store

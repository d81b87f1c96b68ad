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
    if (!open_)
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
    connection_.execute(QStringLiteral("RELEASE ") + name_, connection_.context(QStringLiteral("commit")));
    open_ = false;
}

} // namespace tavik::store

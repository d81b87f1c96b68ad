#pragma once

#include <QString>

namespace tavik::store {

class Connection;

// Begins in its constructor and rolls back in its destructor unless commit() was called. Guards
// nest: the outermost one is a transaction of its own, an inner one a savepoint inside it, whose
// commit only ends its own part.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();

    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection& connection_;
    QString name_; // empty for the outermost guard
    bool open_ = true;
};

} // namespace tavik::store

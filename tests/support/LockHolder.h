#pragma once

#include <QProcess>
#include <QString>

namespace tavik::testsupport {

// Another process holding SQLite's lock on a data file, the way a running edition does, until
// release() or the end of the object (tests/support/tavik-test-lockholder).
class LockHolder {
public:
    enum class Mode { Shared, Exclusive };
    LockHolder(Mode mode, const QString& dataFile);
    ~LockHolder();

    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    // True once the holder says it holds the lock; otherwise problem() says why not.
    bool waitUntilLocked();
    QString problem();
    void release();

private:
    QProcess process_;
};

} // namespace tavik::testsupport

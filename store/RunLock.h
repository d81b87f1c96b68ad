#pragma once

#include <QString>

namespace tavik::store {

// One run per data file at a time: an OS lock on a file beside it, held for the object's life and
// given up by the system when the process dies, however it dies. A second run, in this process
// or another, finds it held and must not touch the data file.
class RunLock {
public:
    enum class State {
        Held,             // this object holds it
        HeldByAnotherRun, // another run holds it
        NoFolder,         // the data file's folder is missing: there is nothing to guard
        Failed,           // the lock file cannot be made or locked; systemError says why
    };

    static RunLock take(const QString& dataFile);
    // The lock file's name for a data file.
    static QString lockPathFor(const QString& dataFile);

    RunLock() = default;
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    ~RunLock();

    State state() const { return state_; }
    bool isHeld() const { return state_ == State::Held; }
    int systemError() const { return systemError_; }
    const QString& path() const { return path_; }

private:
    void release();

    State state_ = State::NoFolder;
    int systemError_ = 0;
    QString path_;
#ifdef Q_OS_WIN
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
#endif
};

} // namespace tavik::store

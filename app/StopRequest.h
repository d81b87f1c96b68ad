#pragma once

#include <QString>

#include <stdexcept>

namespace tavik::app {

// Ctrl+C or SIGTERM during a batch run. Killed at once, a run would leave a check's copies of the
// data files in the temporary folder and say nothing of the backup; so the signal is only noted,
// and the run stops where it can stop cleanly: before the next task, or between two reservations.
// A second signal ends the process at once. Only one may exist at a time.
class StopRequest {
public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Throws Interrupted when a signal has come.
    static void honour();

private:
    using Handler = void (*)(int);
    Handler previousInterrupt_;
    Handler previousTerminate_;
};

class Interrupted : public std::runtime_error {
public:
    explicit Interrupted(int signal);
    int signal() const { return signal_; }
    // The exit status a shell gives a program that this signal ended.
    int exitStatus() const { return 128 + signal_; }
    QString signalName() const;

private:
    int signal_;
};

} // namespace tavik::app

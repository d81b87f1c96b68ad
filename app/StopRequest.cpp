#include "app/StopRequest.h"

#include <csignal>

namespace tavik::app {

namespace {

// A signal handler can reach nothing else.
volatile std::sig_atomic_t requested = 0;

extern "C" void noteStop(int signal)
{
    requested = signal;
    std::signal(signal, SIG_DFL);
}

} // namespace

StopRequest::StopRequest()
    : previousInterrupt_(std::signal(SIGINT, noteStop))
    , previousTerminate_(std::signal(SIGTERM, noteStop))
{
    requested = 0;
}

// Whoever handled the signals before (a test harness, say) handles them again.
StopRequest::~StopRequest()
{
    std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
}

void StopRequest::honour()
{
    if (const int signal = requested; signal != 0)
        throw Interrupted(signal);
}

Interrupted::Interrupted(int signal)
    : std::runtime_error("interrupted")
    , signal_(signal)
{
}

QString Interrupted::signalName() const
{
    return signal_ == SIGINT ? QStringLiteral("Strg+C") : QStringLiteral("SIGTERM");
}

} // namespace tavik::app

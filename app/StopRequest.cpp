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
{
    requested = 0;
    std::signal(SIGINT, noteStop);
    std::signal(SIGTERM, noteStop);
}

StopRequest::~StopRequest()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
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

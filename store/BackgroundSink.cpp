#include "store/BackgroundSink.h"

#include <utility>

namespace tavik::store {

namespace {
// Woken per batch, not per operation: a wake-up costs the walk more than the operation does.
constexpr std::size_t batchSize = 256;
// A few megabytes of operations at most wait in memory.
constexpr std::size_t mostWaiting = 8192;
} // namespace

BackgroundSink::BackgroundSink(std::vector<SkippedSink*> sinks)
    : sinks_(std::move(sinks))
    , thread_([this] { handOn(); })
{
}

BackgroundSink::~BackgroundSink()
{
    try {
        finish();
    } catch (...) {
        // Whoever wanted to know has called finish(); a destructor has no one to tell.
    }
}

void BackgroundSink::add(const SkippedOperation& operation)
{
    if (finished_) {
        for (SkippedSink* sink : sinks_)
            sink->add(operation);
        return;
    }
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return waiting_.size() < mostWaiting; });
    waiting_.push_back(operation);
    if (waiting_.size() == batchSize)
        work_.notify_one();
}

void BackgroundSink::finish()
{
    if (finished_)
        return;
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    work_.notify_one();
    thread_.join();
    finished_ = true;
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
}

void BackgroundSink::handOn()
{
    std::vector<SkippedOperation> batch;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return closing_ || waiting_.size() >= batchSize; });
            batch.swap(waiting_);
            if (batch.empty() && closing_)
                return;
        }
        room_.notify_one();
        if (!failure_) {
            try {
                for (const SkippedOperation& operation : batch) {
                    for (SkippedSink* sink : sinks_)
                        sink->add(operation);
                }
            } catch (...) {
                failure_ = std::current_exception();
            }
        }
        batch.clear();
    }
}

} // namespace tavik::store

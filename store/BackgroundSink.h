#pragma once

#include "store/RunLog.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tavik::store {

// Hands skipped operations on to other sinks on a thread of its own. A run can skip hundreds of
// thousands; making each a log line and a report entry and writing them would otherwise hold up
// the walk. The operations reach the sinks in the order they came. The sinks are used on that
// thread alone until finish() has returned; memory stays bounded, since a walk that skips faster
// than the sinks write waits for them.
class BackgroundSink : public SkippedSink {
public:
    explicit BackgroundSink(std::vector<SkippedSink*> sinks);
    ~BackgroundSink() override;

    BackgroundSink(const BackgroundSink&) = delete;
    BackgroundSink& operator=(const BackgroundSink&) = delete;

    void add(const SkippedOperation& operation) override;
    // Returns when every operation added so far has reached the sinks; later ones go to them at
    // once. Rethrows what a sink threw on the way.
    void finish();

private:
    // Operations cross to the other thread as copied bytes in blocks, not as objects: texts
    // shared between the threads, and memory taken on one and given back on the other, cost the
    // walk more per operation than writing it does.
    using Block = std::vector<char>;

    void handOver();
    void handOn();
    void passOn(const Block& block, SkippedOperation& operation);

    std::vector<SkippedSink*> sinks_;
    Block filling_; // the walk's thread only
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable room_;
    std::vector<Block> waiting_;
    bool closing_ = false;
    bool finished_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: started when everything it uses is there
};

} // namespace tavik::store

#include "store/BackgroundSink.h"

#include <cstring>
#include <utility>

namespace tavik::store {

namespace {

// The other thread is woken per block of a few hundred operations: a wake-up costs the walk more
// than an operation does. A block is handed over once it is full, and has room beyond that for
// the operation that fills it: growing it would move it, and would take memory of a size the C
// library maps for each block alone.
constexpr std::size_t blockBytes = 48 * 1024;
constexpr std::size_t blockRoom = 64 * 1024;
// A few megabytes of operations at most wait in memory.
constexpr std::size_t mostBlocksWaiting = 48;

template <typename Value> void put(std::vector<char>& bytes, const Value& value)
{
    const char* from = reinterpret_cast<const char*>(&value);
    bytes.insert(bytes.end(), from, from + sizeof(Value));
}

// A null text stays null: the report tells "no value" from the empty one.
void putText(std::vector<char>& bytes, const QString& text)
{
    const qsizetype size = text.isNull() ? -1 : text.size();
    put(bytes, size);
    if (size > 0) {
        const char* from = reinterpret_cast<const char*>(text.constData());
        bytes.insert(bytes.end(), from, from + size * qsizetype(sizeof(QChar)));
    }
}

void putKey(std::vector<char>& bytes, const std::optional<qint64>& key)
{
    put(bytes, key.has_value());
    put(bytes, key.value_or(0));
}

void putOperation(std::vector<char>& bytes, const SkippedOperation& operation)
{
    put(bytes, operation.task);
    putText(bytes, operation.operation);
    putText(bytes, operation.table);
    putKey(bytes, operation.recordKey);
    putText(bytes, operation.field);
    putText(bytes, operation.value);
    putText(bytes, operation.reason);
    putText(bytes, operation.ownerTable);
    putKey(bytes, operation.ownerKey);
    put(bytes, operation.sqliteCode);
    putText(bytes, operation.sqliteMessage);
}

// Reads what putOperation wrote, in the same order, into texts whose storage it reuses.
class OperationReader {
public:
    explicit OperationReader(const std::vector<char>& bytes)
        : at_(bytes.data())
        , end_(bytes.data() + bytes.size())
    {
    }
    bool atEnd() const { return at_ == end_; }

    void read(SkippedOperation& operation)
    {
        take(operation.task);
        takeText(operation.operation);
        takeText(operation.table);
        takeKey(operation.recordKey);
        takeText(operation.field);
        takeText(operation.value);
        takeText(operation.reason);
        takeText(operation.ownerTable);
        takeKey(operation.ownerKey);
        take(operation.sqliteCode);
        takeText(operation.sqliteMessage);
    }

private:
    template <typename Value> void take(Value& value)
    {
        std::memcpy(&value, at_, sizeof(Value));
        at_ += sizeof(Value);
    }
    void takeText(QString& text)
    {
        qsizetype size = 0;
        take(size);
        if (size < 0) {
            text = QString();
            return;
        }
        text.resize(size);
        if (size > 0)
            std::memcpy(text.data(), at_, size * sizeof(QChar));
        at_ += size * qsizetype(sizeof(QChar));
    }
    void takeKey(std::optional<qint64>& key)
    {
        bool present = false;
        qint64 value = 0;
        take(present);
        take(value);
        key = present ? std::optional(value) : std::nullopt;
    }

    const char* at_;
    const char* end_;
};

} // namespace

BackgroundSink::BackgroundSink(std::vector<SkippedSink*> sinks)
    : sinks_(std::move(sinks))
    , thread_([this] { handOn(); })
{
    filling_.reserve(blockRoom);
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
    putOperation(filling_, operation);
    if (filling_.size() >= blockBytes)
        handOver();
}

void BackgroundSink::handOver()
{
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return waiting_.size() < mostBlocksWaiting; });
        waiting_.push_back(std::move(filling_));
    }
    work_.notify_one();
    filling_ = Block();
    filling_.reserve(blockRoom);
}

void BackgroundSink::finish()
{
    if (finished_)
        return;
    {
        const std::lock_guard lock(mutex_);
        if (!filling_.empty())
            waiting_.push_back(std::exchange(filling_, Block()));
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
    std::vector<Block> blocks;
    SkippedOperation operation {};
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
            blocks.swap(waiting_);
            if (blocks.empty() && closing_)
                return;
        }
        room_.notify_one();
        for (const Block& block : blocks) {
            if (!failure_)
                passOn(block, operation);
        }
        blocks.clear();
    }
}

void BackgroundSink::passOn(const Block& block, SkippedOperation& operation)
{
    try {
        OperationReader reader(block);
        while (!reader.atEnd()) {
            reader.read(operation);
            for (SkippedSink* sink : sinks_)
                sink->add(operation);
        }
    } catch (...) {
        failure_ = std::current_exception();
    }
}

} // namespace tavik::store

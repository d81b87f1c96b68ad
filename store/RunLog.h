#pragma once

#include "store/EngineError.h"
#include "store/RunTask.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <map>
#include <optional>

namespace tavik::store {

// An operation that a task skipped and went on without: what, where and why.
struct SkippedOperation {
    RunTask task;
    QString operation; // as the user reads it
    QString table;
    std::optional<qint64> recordKey;
    QString field;
    QString value;
    QString reason;
    // The record the skipped one belongs to, where a user looks it up by that record: the
    // reservation of a charge line, which has no key of its own until it is stored.
    QString ownerTable = {};
    std::optional<qint64> ownerKey = std::nullopt;
    // The engine's own code and English text, for the report only: the reason is the user's.
    int sqliteCode = 0;
    QString sqliteMessage = {};
};

// Where each skipped operation goes as it happens, such as a file being written.
class SkippedSink {
public:
    virtual ~SkippedSink() = default;
    virtual void add(const SkippedOperation& operation) = 0;
};

// What the tasks of one run skipped. Tasks report into it; the window and the batch mode decide
// what to show. A run can skip hundreds of thousands of operations, so only counts and the first
// few entries are kept; the whole list goes to the sinks. Values are kept as given: callers never
// pass a password.
class RunLog {
public:
    // As many as the terminal lists.
    static constexpr int keptEntries = 20;

    void skipped(SkippedOperation operation);
    void skipped(RunTask task, const EngineError& error, const QString& value = {});
    // Every operation reported from now on also goes to the sink, which must outlive its use here.
    void addSink(SkippedSink& sink) { sinks_.append(&sink); }

    const QVector<SkippedOperation>& firstSkipped() const { return first_; }
    qsizetype skippedTotal() const { return total_; }
    // Operations that SQLite refused because a data file is damaged: a run that met one must not
    // end as a success, whatever it skipped besides.
    qsizetype damagedFileCount() const { return damaged_; }
    qsizetype skippedCount(RunTask task) const
    {
        const auto found = countByTask_.find(task);
        return found == countByTask_.end() ? 0 : found->second;
    }
    // Things done that a user should be able to find later, such as a backup made.
    void note(const QString& text) { notes_.append(text); }
    const QStringList& notes() const { return notes_; }
    // One line per operation, for the log file and the terminal; control characters written out.
    static QString describe(const SkippedOperation& operation);

private:
    QVector<SkippedOperation> first_;
    std::map<RunTask, qsizetype> countByTask_;
    qsizetype total_ = 0;
    qsizetype damaged_ = 0;
    QVector<SkippedSink*> sinks_;
    QStringList notes_;
};

} // namespace tavik::store

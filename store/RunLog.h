#pragma once

#include "store/EngineError.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace tavik::store {

// An operation that a task skipped and went on without: what, where and why.
struct SkippedOperation {
    QString task;
    QString operation;
    QString table;
    std::optional<qint64> recordKey;
    QString field;
    QString value;
    QString reason;
    // The record the skipped one belongs to, where a user looks it up by that record: the
    // reservation of a charge line, which has no key of its own until it is stored.
    QString ownerTable = {};
    std::optional<qint64> ownerKey = std::nullopt;
};

// What the tasks of one run skipped. Tasks report into it; the window and the batch mode decide
// what to show. Values are kept as given: callers never pass a password.
class RunLog {
public:
    void skipped(SkippedOperation operation) { skipped_.append(std::move(operation)); }
    void skipped(const QString& task, const EngineError& error, const QString& value = {});

    const QVector<SkippedOperation>& skippedOperations() const { return skipped_; }
    // Things done that a user should be able to find later, such as a backup made.
    void note(const QString& text) { notes_.append(text); }
    const QStringList& notes() const { return notes_; }
    int skippedCount(const QString& task) const;
    // The notes, then one line per skipped operation; written beside its destination and renamed.
    bool writeTo(const QString& path) const;
    // One line per operation, for the log file and the terminal; control characters written out.
    static QString describe(const SkippedOperation& operation);

private:
    QVector<SkippedOperation> skipped_;
    QStringList notes_;
};

} // namespace tavik::store

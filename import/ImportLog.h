#pragma once

#include <QString>

#include "store/RunLog.h"

#include <optional>
#include <vector>

namespace tavik::store {
class EngineError;
} // namespace tavik::store

namespace tavik::import {

// What the import skipped and went on without, always with the reservation it was working on,
// so that every entry can be traced to a guest's bill: as the record itself when the entry is
// about the reservation, as the record it belongs to when the entry is about another table's
// record (a charge line), which then keeps its own key. It counts what it reports.
class ImportLog {
public:
    explicit ImportLog(store::RunLog& log);

    void setReservation(std::optional<qint64> key) { reservation_ = key; }

    // An engine error; the field the import names is used when the error names none.
    void engineError(const QString& operation, const QString& table, const QString& field,
        const QString& value, const store::EngineError& error);
    void skipped(const QString& operation, const QString& table, const QString& field, const QString& value,
        const QString& reason);

    int count() const { return count_; }

    // While held, entries wait in their order, together with a place for each store the walk
    // has queued: a store that fails when its queue runs is reported in its place, so the log
    // reads as if every store had run when it was made.
    void hold() { holding_ = true; }
    // A place for the store queued last; none when nothing is held.
    std::optional<std::size_t> placeForStore();
    // Reports the store of that place as failed, for the reservation it was made for.
    void storeFailed(std::optional<std::size_t> place, std::optional<qint64> reservation, const QString& operation,
        const QString& table, const QString& value, const store::EngineError& error);
    // Hands what is held to the run log, and holds nothing more.
    void release();

private:
    void add(const QString& operation, const QString& table, std::optional<qint64> ownKey,
        const QString& field, const QString& value, const QString& reason, const store::EngineError* error);

    store::RunLog& log_;
    std::optional<qint64> reservation_;
    int count_ = 0;
    bool holding_ = false;
    // A place left empty belongs to a store that did not fail.
    std::vector<std::optional<store::SkippedOperation>> held_;
};

} // namespace tavik::import

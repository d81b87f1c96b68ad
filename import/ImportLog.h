#pragma once

#include <QString>

#include <optional>

namespace tavik::store {
class EngineError;
class RunLog;
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

private:
    void add(const QString& operation, const QString& table, std::optional<qint64> ownKey,
        const QString& field, const QString& value, const QString& reason, const store::EngineError* error);

    store::RunLog& log_;
    std::optional<qint64> reservation_;
    int count_ = 0;
};

} // namespace tavik::import

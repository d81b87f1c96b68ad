#pragma once

#include <QtGlobal>

namespace tavik::import {

// Where the import reports how far it has come: the window draws its bar and percentage (and
// pauses there), the batch mode writes to the terminal. The import itself never waits, and how
// far it has come is all it tells: each receiver works out what it shows.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;

    // The walk begins over total reservations, counted once before it.
    virtual void begin(qint32 total) = 0;
    // done reservations of total are finished. done is not bounded by total: a record count below
    // the reservations walked lets it pass.
    virtual void reservationDone(qint64 done, qint32 total) = 0;
};

} // namespace tavik::import

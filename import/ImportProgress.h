#pragma once

#include <QtGlobal>

namespace tavik::import {

// Where the import reports how far it has come: the window draws its bar and percentage (and
// pauses there), the batch mode writes to the terminal. The import itself never waits.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;

    // The walk begins over Gesamtzahl reservations; the fill starts at width 0.
    virtual void begin(qint32 Gesamtzahl) = 0;
    // Buchungszaehler reservations are finished. Neither value is bounded: a record count below
    // the reservations walked lets the fill pass the track and the percentage pass 100.
    virtual void reservationDone(qint64 Buchungszaehler, float fillWidthTwips, qint16 percent) = 0;
};

} // namespace tavik::import

#pragma once

#include "import/ImportProgress.h"

#include <QLocale>
#include <QString>

namespace tavik::store {
class DataControls;
class RunLog;
} // namespace tavik::store

namespace tavik::import {

// What a run did, for the window's end steps and the batch mode's summary.
struct ImportResult {
    // false: nothing was walked, since the reservations or the settings every total depends on
    // could not be read; errorText says why
    bool walkBegan = false;
    QString errorText; // German, for Label13 or the terminal
    qint64 reservationsWalked = 0;
    qint64 chargeLinesWritten = 0; // lines stored and committed
    int skippedOperations = 0; // each of them is in the run log
    bool stored = true;              // false: a batch of the walk could not be stored; errorText says why
};

// Task 4: binds the record sources as store::BindingStep::Import says (the settings to the source
// file, the others to the target), then walks every reservation of the target: its price lines
// become charge lines, its per-rate totals are written back and the fields whose content has
// moved are cleared. Operations that fail are
// reported to the log and skipped; only a reservation set that cannot be opened, or settings that
// cannot be read, end the run before it changes anything.
// numberFormat must be the one the engine of the controls was made with.
ImportResult runImport(store::DataControls& controls, const QString& Datenpfad_neu, const QString& Datenpfad_alt,
    ImportProgress& progress, store::RunLog& log, const QLocale& numberFormat);

} // namespace tavik::import

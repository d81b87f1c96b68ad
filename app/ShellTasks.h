#pragma once

#include "app/StartUp.h"
#include "store/FileCopy.h"

namespace tavik::store {
class DataControls;
}

namespace tavik::app {

// Task 1: the older data file copied over the newer edition's file; a failure carries its cause.
store::CopyResult copyDataFile(const DataPaths& paths);
// What the user is told when task 1 cannot copy (or must not), before the cause.
QString copyFailedMessage();

// Task 2: the reservation and charge-line record sources bound to the copy. Engine errors are
// not caught here: where this runs, they end the program.
void bindTargetRecordSources(store::DataControls& controls, const QString& Datenpfad_neu);

// The finishing step: "importiert" into Memo13 of the first settings record of the target, and
// of the target only. Engine errors are not caught here either.
void markImported(store::DataControls& controls, const QString& Datenpfad_neu);

// Whether the target's first settings record already carries the mark; false when the file, the
// table or the field is missing or cannot be read.
bool isMarkedImported(const QString& Datenpfad_neu);

} // namespace tavik::app

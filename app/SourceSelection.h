#pragma once

#include "app/StartUp.h"

#include <QString>
#include <QStringList>

namespace tavik::store {
class DataControls;
class Engine;
class RunLog;
} // namespace tavik::store

namespace tavik::ui {
class UserInterface;
}

namespace tavik::app {

// The choice of another older data file, as the menu "Datei" offers it.
namespace sourceSelection {

// The older edition's data-file password; handed to the engine, never shown or logged. A backup
// of a target that a protected file was copied over carries it too.
QString dataFilePassword();

// What the file dialog shows.
QStringList dialogFilters();
QString initialFileName();

// Only the name's last six characters count, exactly, upper and lower case distinct.
bool isAcceptedName(const QString& name);
// The refusal of a name, for a message box titled "Fehler" or the terminal.
QString refusalMessage(const QString& name);
QString refusalTitle();

// Takes an accepted file as the source: its data-file password removed when it has one, then
// the record sources bound to it (store::BindingStep::OlderFileChosen) and Datenpfad_alt set.
// Every failing step is skipped and logged, so a file that is damaged, open elsewhere or protected
// otherwise simply stays as it is. True when the file's password was removed.
bool accept(
    const QString& chosen, store::Engine& engine, store::DataControls& controls, DataPaths& paths, store::RunLog& log);

// The whole route: dialog, name test, refusal message or acceptance. True when a file was taken.
bool choose(ui::UserInterface& ui, store::Engine& engine, store::DataControls& controls, DataPaths& paths,
            store::RunLog& log);

} // namespace sourceSelection
} // namespace tavik::app

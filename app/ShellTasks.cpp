#include "app/ShellTasks.h"

#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/FileCopy.h"

namespace tavik::app {

namespace {
const QString importedMark = QStringLiteral("importiert");
}

store::CopyResult copyDataFile(const DataPaths& paths)
{
    return store::fileCopy(paths.Datenpfad_alt, paths.Datenpfad_neu, true);
}

QString copyFailedMessage()
{
    return QStringLiteral("Datendatei ist geöffnet");
}

void bindTargetRecordSources(store::DataControls& controls, const QString& Datenpfad_neu)
{
    controls.bindAt(store::BindingStep::CopyOpened, { .target = Datenpfad_neu });
}

void markImported(store::DataControls& controls, const QString& Datenpfad_neu)
{
    controls.bindAt(store::BindingStep::MarkImported, { .target = Datenpfad_neu });
    controls.settings.moveFirst();
    controls.settingsFields.importedMark.setText(importedMark);
    controls.settings.updateRecord();
}

bool isMarkedImported(const QString& Datenpfad_neu)
{
    try {
        store::OpenOptions readOnly;
        readOnly.readOnly = true;
        auto connection = store::Connection::open(Datenpfad_neu, readOnly);
        store::Statement first = connection->prepare(QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid LIMIT 1"));
        return first.step() && first.text(0) == importedMark;
    } catch (const store::EngineError&) {
        return false;
    }
}

} // namespace tavik::app

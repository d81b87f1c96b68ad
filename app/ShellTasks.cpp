#include "app/ShellTasks.h"

#include "store/DataControls.h"
#include "store/FileCopy.h"

namespace tavik::app {

namespace {
const QString importedMark = QStringLiteral("importiert");
}

bool copyDataFile(const DataPaths& paths)
{
    return store::fileCopy(paths.Datenpfad_alt, paths.Datenpfad_neu, true);
}

void bindTargetRecordSources(store::DataControls& controls, const QString& Datenpfad_neu)
{
    controls.Data1.setDatabaseName(Datenpfad_neu);
    controls.Data1.refresh();
    controls.Data4.setDatabaseName(Datenpfad_neu);
    controls.Data4.refresh();
}

void markImported(store::DataControls& controls, const QString& Datenpfad_neu)
{
    controls.Data2.setDatabaseName(Datenpfad_neu);
    controls.Data2.refresh();
    controls.Data2.moveFirst();
    controls.Text1.setText(importedMark);
    controls.Data2.updateRecord();
}

} // namespace tavik::app

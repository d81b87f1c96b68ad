#include "app/SourceSelection.h"

#include "ui/UserInterface.h"
#include "store/Database.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"

#include <array>

namespace tavik::app::sourceSelection {

namespace {
const std::array<QString, 9> acceptedEndings = {
    QStringLiteral("20.MDB"), QStringLiteral("20.mdb"), QStringLiteral("20.ba1"), QStringLiteral("20.ba2"), QStringLiteral("20.ba3"),
    QStringLiteral("20.ba4"), QStringLiteral("20.ba5"), QStringLiteral("20.ba6"), QStringLiteral("20.ba7"),
};
constexpr int endingLength = 6;

// A file that opens without a key carries no password, so there is nothing to remove.
bool opensWithoutPassword(const QString& chosen, store::Engine& engine)
{
    try {
        engine.openDatabase(chosen, false, true).close();
        return true;
    } catch (const store::EngineError&) {
        return false;
    }
}

bool removePassword(const QString& chosen, store::Engine& engine, store::RunLog& log)
{
    if (opensWithoutPassword(chosen, engine))
        return false;
    try {
        store::Database database = engine.openDatabase(chosen, true, false, QStringLiteral(";pwd=") + dataFilePassword());
        database.newPassword(dataFilePassword(), QString());
        database.close();
        return true;
    } catch (const store::EngineError& error) {
        log.skipped(store::RunTask::SelectSource, error);
        return false;
    }
}

} // namespace

QString dataFilePassword()
{
    return QStringLiteral("quiret");
}

QStringList dialogFilters()
{
    return {QStringLiteral("Tavik 2.0 Datendatei  (*.mdb)"), QStringLiteral("alle Dateien (*.*)")};
}

QString initialFileName()
{
    return QStringLiteral("Tavik_20.mdb; Tavik_20.ba*");
}

bool isAcceptedName(const QString& name)
{
    if (name.size() < endingLength)
        return false;
    const QString ending = name.right(endingLength);
    return std::find(acceptedEndings.begin(), acceptedEndings.end(), ending) != acceptedEndings.end();
}

QString refusalMessage(const QString& name)
{
    return name + QStringLiteral("   ist die falsche Datei, bitte suchen Sie  TAVIK_20.MDB");
}

QString refusalTitle()
{
    return QStringLiteral("Fehler");
}

bool accept(
    const QString& chosen, store::Engine& engine, store::DataControls& controls, DataPaths& paths, store::RunLog& log)
{
    // The password goes first: the exclusive open it needs fails once the record sources hold the
    // file, and the record sources can only open the file once it has no password.
    const bool unprotected = removePassword(chosen, engine, log);
    const auto logFailure = [&log](store::RecordSource&, const QString&, const store::EngineError& error) {
        log.skipped(store::RunTask::SelectSource, error);
    };
    controls.bindAt(store::BindingStep::OlderFileChosen, { .older = chosen }, logFailure);
    paths.Datenpfad_alt = chosen;
    return unprotected;
}

bool choose(ui::UserInterface& ui, store::Engine& engine, store::DataControls& controls, DataPaths& paths,
            store::RunLog& log)
{
    const QString chosen = ui.chooseFileToOpen(dialogFilters(), initialFileName());
    if (!isAcceptedName(chosen)) {
        ui.showMessage(refusalMessage(chosen), ui::MessageIcon::Stop, refusalTitle());
        return false;
    }
    accept(chosen, engine, controls, paths, log);
    return true;
}

} // namespace tavik::app::sourceSelection

#pragma once

#include "store/EngineOperation.h"
#include "store/RunTask.h"

#include <QString>

// The name of every task and engine operation as a user reads it, each in exactly one place. A
// switch without default makes the compiler name a value that has none.
namespace tavik::store::texts {

// UTF-8, so that the window's fixed table of captions can take a task's name as it is.
constexpr const char* taskNameUtf8(RunTask task)
{
    switch (task) {
    case RunTask::SelectSource:
        return "Tavik 2.0 Datendatei öffnen";
    case RunTask::Copy:
        return "1. Datenbank kopieren";
    case RunTask::Bind:
        return "2. Datenpfad ändern";
    case RunTask::FoodAndDrinkVat:
        return "MwSt. für Speisen und Getränke";
    case RunTask::Fields:
        return "3. Datenfelder zufügen";
    case RunTask::Import:
        return "4. Daten importieren";
    case RunTask::Finish:
        return "Abschluss";
    }
    return "";
}

inline QString taskName(RunTask task)
{
    return QString::fromUtf8(taskNameUtf8(task));
}

inline QString operationName(EngineOperation operation)
{
    switch (operation) {
    case EngineOperation::Open:
        return QStringLiteral("Datei öffnen");
    case EngineOperation::OpenExclusive:
        return QStringLiteral("Datei exklusiv öffnen");
    case EngineOperation::Use:
        return QStringLiteral("Datei verwenden");
    case EngineOperation::UseDatabase:
        return QStringLiteral("Datendatei verwenden");
    case EngineOperation::ReadTableDefinition:
        return QStringLiteral("Tabellendefinition lesen");
    case EngineOperation::AppendField:
        return QStringLiteral("Feld anfügen");
    case EngineOperation::ChangePassword:
        return QStringLiteral("Kennwort ändern");
    case EngineOperation::VerifyRewrittenFile:
        return QStringLiteral("neu geschriebene Datei prüfen");
    case EngineOperation::BeginTransaction:
        return QStringLiteral("Transaktion beginnen");
    case EngineOperation::Commit:
        return QStringLiteral("Transaktion festschreiben");
    case EngineOperation::Prepare:
        return QStringLiteral("Anweisung vorbereiten");
    case EngineOperation::Bind:
        return QStringLiteral("Wert übergeben");
    case EngineOperation::Step:
        return QStringLiteral("Anweisung ausführen");
    case EngineOperation::Close:
        return QStringLiteral("Datei schließen");
    case EngineOperation::Refresh:
        return QStringLiteral("Datensätze lesen");
    case EngineOperation::FindField:
        return QStringLiteral("Feld suchen");
    case EngineOperation::AssignField:
        return QStringLiteral("Feld setzen");
    case EngineOperation::ReadField:
        return QStringLiteral("Feld lesen");
    case EngineOperation::MoveNext:
        return QStringLiteral("zum nächsten Datensatz gehen");
    case EngineOperation::UpdateRecord:
        return QStringLiteral("Datensatz speichern");
    }
    return {};
}

} // namespace tavik::store::texts

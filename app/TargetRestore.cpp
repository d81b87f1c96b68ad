#include "app/TargetRestore.h"

#include "app/SourceSelection.h"
#include "app/StartUp.h"
#include "app/TargetGuard.h"
#include "store/Connection.h"
#include "store/FileLockProbe.h"
#include "store/FilePutBack.h"
#include "store/FileReplace.h"
#include "store/Recovery.h"
#include "store/TargetAccess.h"

#include <QFile>
#include <QFileInfo>

namespace tavik::app {

namespace {
const QString nothingChanged = QStringLiteral("Es wurde nichts geändert.");
const QString restored = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" wurde aus \"%2\" zurückgeholt.");
const QString replacedKept = QStringLiteral("Die ersetzte Datei liegt unter \"%1\".");
const QString noBackup = QStringLiteral(
    "Es gibt keine Sicherung \"%1\", aus der die Tavik 5.0 Datendatei zurückgeholt werden könnte.");
const QString notADataFile
    = QStringLiteral("\"%1\" ist keine Datendatei oder ist mit einem unbekannten Kennwort geschützt; "
                     "die Tavik 5.0 Datendatei wird daraus nicht zurückgeholt.");
const QString shortenBackupPath
    = QStringLiteral("Bitte geben Sie der Sicherung einen kürzeren Namen oder legen Sie sie in einen "
                     "Ordner mit kürzerem Pfad und nennen Sie diesen Pfad bei --restore.");
const QString isTheSource = QStringLiteral("\"%1\" ist die Tavik 2.0 Datendatei und keine Sicherung der Tavik 5.0 "
                                          "Datendatei; die Übertragung macht \"tavik-migrate --batch\".");
const QString isTheTarget
    = QStringLiteral("\"%1\" ist die Tavik 5.0 Datendatei selbst und keine Sicherung davon.");
const QString alreadyEqual
    = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" gleicht bereits \"%2\"; es gab nichts zurückzuholen.");
const QString notReplaceable = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" kann nicht ersetzt werden.");
const QString inUse
    = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" wird von einem anderen Programm verwendet. "
                     "Bitte schließen Sie Tavik 5.0.");
const QString notKept
    = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" konnte nicht unter \"%2\" aufbewahrt werden; "
                     "ohne sie aufzubewahren wird sie nicht ersetzt.");
const QString notPutBack
    = QStringLiteral("\"%1\" konnte nicht an die Stelle der Tavik 5.0 Datendatei \"%2\" kopiert werden "
                     "(zum Beispiel zu wenig Platz auf dem Datenträger).");
const QString failedKept = QStringLiteral("Die fehlgeschlagene Kopie liegt unter \"%1\".");
const QString failedNotKept = QStringLiteral("Die fehlgeschlagene Kopie konnte nicht aufbewahrt werden.");
const QString undone
    = QStringLiteral("Die Tavik 5.0 Datendatei wurde aus der Sicherung \"%1\" zurückgeholt.");
const QString notUndone
    = QStringLiteral("Die Tavik 5.0 Datendatei konnte nicht aus der Sicherung \"%1\" zurückgeholt werden; "
                     "bitte mit \"tavik-migrate --restore\" zurückholen.");
const QString noTargetBefore
    = QStringLiteral("Vor dem Lauf gab es keine Tavik 5.0 Datendatei; die fehlgeschlagene Kopie "
                     "wurde nach \"%1\" verschoben.");
const QString noTargetNotMoved
    = QStringLiteral("Vor dem Lauf gab es keine Tavik 5.0 Datendatei; die fehlgeschlagene Kopie "
                     "konnte nicht verschoben werden und liegt noch unter \"%1\".");

// Opened, found whole by SQLite and holding the tables both editions' files have; a file cut short,
// an empty one or another program's database is no backup of the target.
bool opensAsDataFile(const QString& path, const QString& password)
{
    try {
        store::OpenOptions options;
        options.readOnly = true;
        options.password = password;
        const auto connection = store::Connection::open(path, options);
        if (connection->integrityCheck() != QLatin1String("ok"))
            return false;
        store::Statement tables = connection->prepare(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) IN ('einstellungen', 'reservierungen')"));
        return tables.step() && tables.text(0) == QLatin1String("2");
    } catch (const store::EngineError&) {
        return false;
    }
}

// What the program opens as a data file: SQLite without a key, or with the data-file password.
bool isDataFile(const QString& path)
{
    return opensAsDataFile(path, QString()) || opensAsDataFile(path, sourceSelection::dataFilePassword());
}

QString failedCopyPathFor(const QString& Datenpfad_neu, const QDateTime& now)
{
    const QString stem
        = Datenpfad_neu.left(Datenpfad_neu.size() - 3) + now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    return store::freeName(stem, QStringLiteral(".fehlgeschlagen.") + Datenpfad_neu.right(3));
}

QString replacedPathFor(const QString& Datenpfad_neu, const QDateTime& now)
{
    return store::freeName(keptBackupPathFor(Datenpfad_neu, now).chopped(4), QStringLiteral(".ba0"));
}

// Why the backup cannot be put back at all; empty when it can.
QString whyNoBackupToTake(const QString& backup, const DataPaths& paths)
{
    if (!QFileInfo(backup).isFile())
        return noBackup.arg(backup);
    if (store::isSameFile(backup, paths.Datenpfad_neu))
        return isTheTarget.arg(backup);
    if (store::isSameFile(backup, paths.Datenpfad_alt))
        return isTheSource.arg(backup);
    // SQLite opens no file under a longer path, however whole, and a kept backup's dated name makes its
    // path 20 bytes longer than the target's.
    if (const QString tooLong = store::whyPathTooLongToOpen(QFileInfo(backup).absoluteFilePath()); !tooLong.isEmpty())
        return tooLong + QLatin1Char(' ') + shortenBackupPath;
    if (!isDataFile(backup))
        return notADataFile.arg(backup);
    return {};
}

// Why the target cannot be replaced now; empty when it can. A write cut off by a crash is first
// played back, as a run does, so that its journal is not played into the file put back.
QString whyTargetNotReplaceable(const QString& target)
{
    if (const QString cause = store::whyNotReplaceable(target); !cause.isEmpty())
        return notReplaceable.arg(target) + QLatin1Char(' ') + cause;
    if (!QFileInfo(target).isFile())
        return {};
    store::recoverInterruptedWrite(target);
    if (QFileInfo::exists(target + QStringLiteral("-journal"))
        || QFileInfo::exists(target + QStringLiteral("-wal")) || store::sqliteLockHeldElsewhere(target))
        return inUse.arg(target);
    return {};
}
} // namespace

UndoneRun undoRun(const QString& Datenpfad_neu, const QString& backup, const QDateTime& now)
{
    UndoneRun result;
    const QString failed = failedCopyPathFor(Datenpfad_neu, now);
    if (backup.isEmpty()) {
        const bool moved = store::moveToFreeName(Datenpfad_neu, failed);
        result.failedCopy = moved ? failed : Datenpfad_neu;
        result.description = moved ? noTargetBefore.arg(failed) : noTargetNotMoved.arg(Datenpfad_neu);
        return result;
    }
    // The hotel's data comes first: the backup goes back even when the failed copy cannot be kept.
    const bool kept = store::keepUnderSecondName(Datenpfad_neu, failed);
    const bool putBack = store::putVerifiedCopyInPlace(backup, Datenpfad_neu);
    if (kept)
        result.failedCopy = failed;
    if (putBack)
        result.restoredFrom = backup;
    result.description = (putBack ? undone.arg(backup) : notUndone.arg(backup)) + QLatin1Char(' ')
        + (kept ? failedKept.arg(failed) : failedNotKept);
    return result;
}

int restoreTarget(BatchConsole& console, const DataPaths& paths, const std::optional<QString>& from)
{
    const QString& Datenpfad_neu = paths.Datenpfad_neu;
    const QString backup = from.value_or(backupPathFor(Datenpfad_neu));
    const TargetGuard guard = TargetGuard::lock(Datenpfad_neu);
    const auto refuse = [&console](int status, const QString& why) {
        console.error(why + QLatin1Char(' ') + nothingChanged);
        return status;
    };
    if (guard.refusal() == TargetGuard::Refusal::InUseByAnotherRun)
        return refuse(1, guard.cause());
    if (const QString why = whyNoBackupToTake(backup, paths); !why.isEmpty())
        return refuse(2, why);
    if (const QString why = whyTargetNotReplaceable(Datenpfad_neu); !why.isEmpty())
        return refuse(1, why);
    const bool targetExists = QFileInfo(Datenpfad_neu).isFile();
    if (targetExists && store::sameContent(backup, Datenpfad_neu)) {
        console.result(alreadyEqual.arg(Datenpfad_neu, backup));
        return 0;
    }
    const QString replaced
        = targetExists ? replacedPathFor(Datenpfad_neu, QDateTime::currentDateTime()) : QString();
    if (targetExists && !store::keepUnderSecondName(Datenpfad_neu, replaced))
        return refuse(1, notKept.arg(Datenpfad_neu, replaced));
    if (!store::putVerifiedCopyInPlace(backup, Datenpfad_neu)) {
        if (targetExists)
            QFile::remove(replaced);
        return refuse(1, notPutBack.arg(backup, Datenpfad_neu));
    }
    console.result(restored.arg(Datenpfad_neu, backup)
        + (targetExists ? QLatin1Char('\n') + replacedKept.arg(replaced) : QString()));
    return 0;
}

} // namespace tavik::app

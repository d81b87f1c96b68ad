#include "app/StartUp.h"

#include "app/UserSettings.h"
#include "store/FileCopy.h"
#include "store/Recovery.h"
#include "store/RunLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace tavik::app {

QString defaultSourcePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Programme\\Tavik 2.0\\tavik_20.mdb");
#else
    return QStringLiteral("/opt/Tavik 2.0/tavik_20.mdb");
#endif
}

QString defaultTargetPath(const QString& sharedDocumentsFolder)
{
    return sharedDocumentsFolder + QDir::toNativeSeparators(QStringLiteral("/Tavik 5.0 - Daten/tavik_50.mdb"));
}

DataPaths readDataPaths(const SettingsReader& settings, const QString& sharedDocumentsFolder)
{
    DataPaths paths;
    paths.Datenpfad_alt = settings(
        editionSettings::olderEdition, editionSettings::section, editionSettings::dataPathKey, defaultSourcePath());
    paths.Datenpfad_neu = settings(editionSettings::newerEdition, editionSettings::section,
        editionSettings::dataPathKey, defaultTargetPath(sharedDocumentsFolder));
    return paths;
}

QString backupPathFor(const QString& Datenpfad_neu)
{
    if (Datenpfad_neu.size() < 3)
        return {};
    return Datenpfad_neu.left(Datenpfad_neu.size() - 3) + QStringLiteral("ba0");
}

QString keptBackupPathFor(const QString& Datenpfad_neu, const QDateTime& when)
{
    const QString stem = Datenpfad_neu.left(Datenpfad_neu.size() - 3);
    return stem + when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QStringLiteral(".ba0");
}

namespace {

bool sameContent(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (a.size() != b.size() || !a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 chunk = 1 << 20;
    while (!a.atEnd()) {
        if (a.read(chunk) != b.read(chunk))
            return false;
    }
    return true;
}

// Renames the earlier backup out of the way; a second one in the same second gets a number.
QString keepEarlierBackup(const QString& backup, const QString& Datenpfad_neu, const QDateTime& now)
{
    QString kept = keptBackupPathFor(Datenpfad_neu, now);
    for (int number = 2; QFileInfo::exists(kept); ++number)
        kept = keptBackupPathFor(Datenpfad_neu, now).chopped(4) + QStringLiteral("-%1.ba0").arg(number);
    return QFile::rename(backup, kept) ? kept : QString();
}

} // namespace

QString logPathFor(const QString& Datenpfad_neu)
{
    return QDir::toNativeSeparators(QFileInfo(Datenpfad_neu).absolutePath() + QStringLiteral("/tavik-migrate.log"));
}

void noteBackups(const StartupBackup& backup, store::RunLog& log)
{
    if (!backup.keptEarlierBackup.isEmpty())
        log.note(QStringLiteral("Frühere Sicherung aufbewahrt: %1").arg(backup.keptEarlierBackup));
    if (backup.made())
        log.note(QStringLiteral("Sicherung der Tavik 5.0 Datendatei: %1").arg(backup.backup));
}

namespace {

QString backupFailure(const QString& Datenpfad_neu, const QString& backup, const store::CopyResult& copy)
{
    QString cause = copy.germanCause();
    const qint64 free = QStorageInfo(QFileInfo(backup).absolutePath()).bytesAvailable();
    // A copy that fails for want of room may meet another error first (a size limit, a quota).
    if (free >= 0 && free < QFileInfo(Datenpfad_neu).size())
        cause = QStringLiteral("Auf dem Datenträger ist zu wenig Platz.");
    else if (copy)
        cause = QStringLiteral("Die Sicherung ist nicht so groß wie die Datendatei.");
    return QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" konnte nicht nach \"%2\" gesichert werden; ohne Sicherung "
                          "wird sie nicht ersetzt. %3")
        .arg(Datenpfad_neu, backup, cause);
}

} // namespace

StartupBackup makeStartupBackup(const QString& Datenpfad_neu, const QDateTime& now)
{
    StartupBackup result;
    if (!QFileInfo(Datenpfad_neu).isFile())
        return result;
    const QString backup = backupPathFor(Datenpfad_neu);
    if (backup.isEmpty()) {
        result.failure = QStringLiteral("Für die Tavik 5.0 Datendatei \"%1\" lässt sich kein Name einer Sicherung bilden; "
                                        "ohne Sicherung wird sie nicht ersetzt.").arg(Datenpfad_neu);
        return result;
    }
    store::recoverInterruptedWrite(Datenpfad_neu);
    if (QFileInfo::exists(backup) && !sameContent(backup, Datenpfad_neu)) {
        result.keptEarlierBackup = keepEarlierBackup(backup, Datenpfad_neu, now);
        if (result.keptEarlierBackup.isEmpty()) {
            // The earlier backup is not replaced either: it may be the only copy of older data.
            result.failure = QStringLiteral("Die frühere Sicherung \"%1\" konnte nicht unter einem Namen mit Datum "
                                            "aufbewahrt werden; ohne neue Sicherung wird die Tavik 5.0 Datendatei nicht ersetzt.")
                                 .arg(backup);
            return result;
        }
    }
    if (const store::CopyResult copy = store::fileCopy(Datenpfad_neu, backup, true);
        !copy || QFileInfo(backup).size() != QFileInfo(Datenpfad_neu).size()) {
        result.failure = backupFailure(Datenpfad_neu, backup, copy);
        return result;
    }
    result.backup = backup;
    return result;
}

} // namespace tavik::app

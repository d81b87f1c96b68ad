#include "app/StartUp.h"

#include "store/FileCopy.h"
#include "store/Recovery.h"
#include "store/RunLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavik::app {

namespace {
const QString olderEdition = QStringLiteral("Tavik 2.0");
const QString newerEdition = QStringLiteral("Tavik 5.0");
const QString section = QStringLiteral("Startup");
const QString key = QStringLiteral("Datenpfad");
} // namespace

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
    paths.Datenpfad_alt = settings(olderEdition, section, key, defaultSourcePath());
    paths.Datenpfad_neu = settings(newerEdition, section, key, defaultTargetPath(sharedDocumentsFolder));
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

StartupBackup makeStartupBackup(const QString& Datenpfad_neu, const QDateTime& now)
{
    StartupBackup result;
    const QString backup = backupPathFor(Datenpfad_neu);
    if (backup.isEmpty() || !QFileInfo(Datenpfad_neu).isFile())
        return result;
    store::recoverInterruptedWrite(Datenpfad_neu);
    if (QFileInfo::exists(backup) && !sameContent(backup, Datenpfad_neu)) {
        result.keptEarlierBackup = keepEarlierBackup(backup, Datenpfad_neu, now);
        if (result.keptEarlierBackup.isEmpty())
            return result; // the earlier backup could not be kept, so it is not replaced either
    }
    if (store::fileCopy(Datenpfad_neu, backup, true))
        result.backup = backup;
    return result;
}

} // namespace tavik::app

#include "app/StartUp.h"

#include "store/FileCopy.h"

#include <QDir>
#include <QSettings>

namespace tavik::app {

namespace {
const QString olderEdition = QStringLiteral("Tavik 2.0");
const QString newerEdition = QStringLiteral("Tavik 5.0");
const QString section = QStringLiteral("Startup");
const QString key = QStringLiteral("Datenpfad");
} // namespace

QString readUserSetting(const QString& application, const QString& sectionName, const QString& keyName,
                        const QString& defaultValue)
{
    // On Windows this is the registry key the editions use; elsewhere a file of the same names.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("VB and VBA Program Settings"),
                       application);
    return settings.value(sectionName + QLatin1Char('/') + keyName, defaultValue).toString();
}

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

bool makeStartupBackup(const QString& Datenpfad_neu)
{
    const QString backup = backupPathFor(Datenpfad_neu);
    return !backup.isEmpty() && store::fileCopy(Datenpfad_neu, backup, true);
}

} // namespace tavik::app

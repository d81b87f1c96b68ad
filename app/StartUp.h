#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace tavik::store {
class RunLog;
}

namespace tavik::app {

// The two data paths the window works with: the older edition's file (source) and the newer
// edition's file (target).
struct DataPaths {
    QString Datenpfad_alt;
    QString Datenpfad_neu;
};

// Reads a text value of the per-user settings store by application, section and key; returns
// the default when none is stored. The program only ever reads the store. readUserSetting
// (app/UserSettings.h) is the store the editions use.
using SettingsReader = std::function<QString(const QString& application, const QString& section,
                                             const QString& key, const QString& defaultValue)>;

// Both paths from the settings store, with their defaults; the target's default lies below the
// documents folder shared by all users. What the reader throws goes through.
DataPaths readDataPaths(const SettingsReader& settings, const QString& sharedDocumentsFolder);
QString defaultSourcePath();
QString defaultTargetPath(const QString& sharedDocumentsFolder);

// The start-up backup of the target: its path without the last three characters, then "ba0";
// empty for a path shorter than three characters.
QString backupPathFor(const QString& Datenpfad_neu);
// What the start-up backup did; all empty when there was no target to back up.
struct StartupBackup {
    QString backup;             // the ".ba0" now holding the target
    QString keptEarlierBackup;  // where an earlier, different ".ba0" was kept
    QString failure;            // why a target that exists has no backup, in German
    bool made() const { return !backup.isEmpty(); }
    bool failed() const { return !failure.isEmpty(); }
};

// Copies the target over its backup and checks that the backup has the target's size (the copy
// is synced to the disk). An earlier backup that differs from the target is first kept under a
// dated name beside it: a second start after a finished migration would otherwise overwrite the
// only copy of the newer edition's earlier data. A target left with a hot journal by a run that
// was cut off is first rolled back, so it is backed up and replaced consistently. When there is
// no target there is nothing to back up and nothing to say; when there is one and it could not be
// backed up, failure says why, and the target must not be replaced.
StartupBackup makeStartupBackup(const QString& Datenpfad_neu, const QDateTime& now);
// The run's log file, beside the target.
QString logPathFor(const QString& Datenpfad_neu);
// Names the backups made in the log.
void noteBackups(const StartupBackup& backup, store::RunLog& log);
// The dated name an earlier backup is kept under.
QString keptBackupPathFor(const QString& Datenpfad_neu, const QDateTime& when);

} // namespace tavik::app

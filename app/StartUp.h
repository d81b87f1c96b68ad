#pragma once

#include <QString>

#include <functional>

namespace tavik::app {

// The two data paths the window works with: the older edition's file (source) and the newer
// edition's file (target).
struct DataPaths {
    QString Datenpfad_alt;
    QString Datenpfad_neu;
};

// Reads a text value of the per-user settings store by application, section and key; returns
// the default when none is stored. The program only ever reads the store.
using SettingsReader = std::function<QString(const QString& application, const QString& section,
                                             const QString& key, const QString& defaultValue)>;

// The settings store the editions themselves use: on Windows their registry area, elsewhere
// QSettings in the user's native format under the same names.
QString readUserSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue);

// Both paths from the settings store, with their defaults; the target's default lies below the
// documents folder shared by all users.
DataPaths readDataPaths(const SettingsReader& settings, const QString& sharedDocumentsFolder);
QString defaultSourcePath();
QString defaultTargetPath(const QString& sharedDocumentsFolder);

// The start-up backup of the target: its path without the last three characters, then "ba0";
// empty for a path shorter than three characters.
QString backupPathFor(const QString& Datenpfad_neu);
// Copies the target over its backup; false (and nothing said) when there is no target yet.
bool makeStartupBackup(const QString& Datenpfad_neu);

} // namespace tavik::app

#pragma once

#include <QByteArray>
#include <QString>

namespace tavik::testsupport {

// A settings file as the editions keep it, holding one data path under [Startup] Datenpfad. The
// path is quoted and escaped the way QSettings' INI format reads it back, so commas, semicolons,
// quotes, backslashes and even control characters stay exactly as they are.
QByteArray settingsFileText(const QString& dataPath);

// Writes "<configHome>/VB and VBA Program Settings/<application>.conf" pointing at the data path,
// the per-user store the program reads when XDG_CONFIG_HOME is configHome; false when it cannot.
bool writeSettingsFile(const QString& configHome, const QString& application, const QString& dataPath);

} // namespace tavik::testsupport

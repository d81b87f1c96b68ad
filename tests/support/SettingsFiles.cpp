#include "SettingsFiles.h"

#include "FileBytes.h"

#include <QDir>

namespace tavik::testsupport {

QByteArray settingsFileText(const QString& dataPath)
{
    QString quoted;
    bool afterHexEscape = false;
    for (const QChar c : dataPath) {
        const bool hexDigit = c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
        if (c == u'"' || c == u'\\') {
            quoted += QLatin1Char('\\') + c;
            afterHexEscape = false;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f || (afterHexEscape && hexDigit)) {
            // A reader takes every hex digit after "\x", so one that follows is escaped as well.
            quoted += QStringLiteral("\\x%1").arg(c.unicode(), 0, 16);
            afterHexEscape = true;
        } else {
            quoted += c;
            afterHexEscape = false;
        }
    }
    return (QStringLiteral("[Startup]\nDatenpfad=\"") + quoted + QStringLiteral("\"\n")).toUtf8();
}

bool writeSettingsFile(const QString& configHome, const QString& application, const QString& dataPath)
{
    const QString folder = configHome + QStringLiteral("/VB and VBA Program Settings");
    return QDir().mkpath(folder)
        && writeFile(folder + QLatin1Char('/') + application + QStringLiteral(".conf"), settingsFileText(dataPath));
}

} // namespace tavik::testsupport

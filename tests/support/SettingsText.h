#pragma once

#include <QByteArray>
#include <QString>

namespace tavik::testsupport {

// A settings file as the editions keep it, holding one data path under [Startup] Datenpfad. The
// path is quoted and escaped the way QSettings' INI format reads it back, so commas, semicolons,
// quotes, backslashes and even control characters stay exactly as they are.
inline QByteArray settingsFileText(const QString& path)
{
    QString quoted;
    bool afterHexEscape = false;
    for (const QChar c : path) {
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

} // namespace tavik::testsupport

#include "app/UserSettings.h"

#include <QSettings>

// Windows keeps the settings in the registry and macOS in property lists: QSettings reads those.
#if !defined(Q_OS_WIN) && !defined(Q_OS_DARWIN)
#define TAVIK_SETTINGS_IN_INI_FILE
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "store/SystemErrorText.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#endif

namespace tavik::app {

namespace {
} // namespace

UnreadableSettings::UnreadableSettings(const QString& message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

#ifndef TAVIK_SETTINGS_IN_INI_FILE

QString readUserSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, editionSettings::organisation, application);
    return settings.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

#else

// QSettings::value() is not used here: it splits an unquoted value at commas, ends it at a
// semicolon and takes backslashes for escapes, and hotels name their folders as they please.
// An unquoted value is taken exactly as written; a quoted one is unquoted as QSettings does it.
namespace {
const QString cannotRead = QStringLiteral("Die Einstellungsdatei \"%1\" kann nicht gelesen werden (%2). Es wurde nichts geändert.");
const QString notValid = QStringLiteral("Die Einstellungsdatei \"%1\" ist ungültig: %2 Es wurde nichts geändert.");
const QString notUtf8 = QStringLiteral("Sie ist nicht in UTF-8 geschrieben.");
const QString badLine = QStringLiteral("Zeile %1 ist weder [Abschnitt] noch Name=Wert.");
const QString openQuote = QStringLiteral("In Zeile %1 fehlt das schließende Anführungszeichen.");

// Why a settings text cannot be read, without the file's name.
struct BadSettingsText {
    QString reason;
};

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

std::optional<QChar> namedEscape(QChar c)
{
    static const QString names = QStringLiteral("abfnrtv\"?'\\");
    static const QString meanings = QStringLiteral("\a\b\f\n\r\t\v\"?'\\");
    const qsizetype at = names.indexOf(c);
    return at < 0 ? std::nullopt : std::optional(meanings[at]);
}

// The value of a quoted text starting at text[0]; end is set behind its closing quote. Nothing
// when the closing quote is missing.
std::optional<QString> readQuoted(QStringView text, qsizetype& end)
{
    QString value;
    qsizetype i = 1;
    while (i < text.size()) {
        const QChar c = text[i++];
        if (c == u'"') {
            end = i;
            return value;
        }
        if (c != u'\\') {
            value += c;
        } else if (i < text.size()) {
            const QChar escape = text[i++];
            uint code = 0;
            if (const std::optional<QChar> named = namedEscape(escape)) {
                value += *named;
            } else if (escape == u'x' && i < text.size() && hexDigit(text[i]) >= 0) {
                while (i < text.size() && hexDigit(text[i]) >= 0)
                    code = code * 16 + uint(hexDigit(text[i++]));
                value += QChar(char16_t(code));
            } else if (escape >= u'0' && escape <= u'7') {
                code = escape.unicode() - u'0';
                while (i < text.size() && text[i] >= u'0' && text[i] <= u'7')
                    code = code * 8 + (text[i++].unicode() - u'0');
                value += QChar(char16_t(code));
            }
            // Any other escaped character QSettings drops together with its backslash.
        }
    }
    return std::nullopt;
}

QString valueAsWritten(QStringView written, int lineNumber)
{
    if (!written.startsWith(u'"'))
        return written.toString();
    qsizetype end = 0;
    const std::optional<QString> value = readQuoted(written, end);
    if (!value)
        throw BadSettingsText{openQuote.arg(lineNumber)};
    // More after the closing quote, as in "a", "b", is a list to QSettings: taken as written.
    return written.mid(end).trimmed().isEmpty() ? *value : written.toString();
}

// The last value of the key in the section, as QSettings would take the last one too.
std::optional<QString> valueIn(const QString& text, const QString& section, const QString& key)
{
    std::optional<QString> found;
    QString current;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                throw BadSettingsText{badLine.arg(n + 1)};
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            throw BadSettingsText{badLine.arg(n + 1)};
        if (current == section && QStringView(line).left(equals).trimmed() == key)
            found = valueAsWritten(QStringView(line).mid(equals + 1).trimmed(), n + 1);
    }
    return found;
}

} // namespace

QString readUserSetting(const QString& application, const QString& section, const QString& key,
                        const QString& defaultValue)
{
    const QString path
        = QSettings(QSettings::NativeFormat, QSettings::UserScope, editionSettings::organisation, application)
              .fileName();
    // Only a file that is not there means "no value stored": a folder that cannot be searched or
    // is no folder would otherwise send the run to the default paths, another hotel's perhaps.
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT)
            return defaultValue;
        throw UnreadableSettings(cannotRead.arg(path, store::germanSystemError(errno)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UnreadableSettings(cannotRead.arg(path, store::germanSystemError(errno)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw UnreadableSettings(cannotRead.arg(path, file.errorString()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        throw UnreadableSettings(notValid.arg(path, notUtf8));
    try {
        return valueIn(text, section, key).value_or(defaultValue);
    } catch (const BadSettingsText& bad) {
        throw UnreadableSettings(notValid.arg(path, bad.reason));
    }
}

#endif

} // namespace tavik::app

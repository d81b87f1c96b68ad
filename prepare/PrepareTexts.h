#pragma once

#include <QString>

// Every text of the preparation steps that a user may see, in one place.
namespace tavik::prepare::texts {

// The question, an empty line and the hint line; the line feeds stand alone, without carriage returns.
inline QString vatPrompt()
{
    return QStringLiteral("Bitte geben Sie die MwSt. für Speisen und Getränke ein") + QStringLiteral("\n\n")
        + QStringLiteral("Minibar, Restaurant usw. ");
}
inline QString vatTitle()
{
    return QStringLiteral("MwSt. für Speisen und Getränke ");
}
inline QString vatDefault()
{
    return QStringLiteral("19");
}
inline QString wrongValue()
{
    return QStringLiteral("Falscher Wert");
}

inline QString fieldsNotAdded()
{
    return QStringLiteral("Felder nicht zugefügt");
}
inline QString fieldRange(const QString& first, const QString& last)
{
    return first == last ? first : QStringLiteral("%1 bis %2").arg(first, last);
}
inline QString stoppedAtError()
{
    return QStringLiteral("nach dem Fehler davor abgebrochen");
}

} // namespace tavik::prepare::texts

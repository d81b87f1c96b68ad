#include "app/CommandLine.h"

namespace tavik::app {

namespace {

// Options that take a value, and where the value goes.
std::optional<QString>* valueSlot(BatchOptions& options, const QString& name)
{
    if (name == QLatin1String("--vat"))
        return &options.vat;
    if (name == QLatin1String("--source"))
        return &options.source;
    if (name == QLatin1String("--report"))
        return &options.report;
    return nullptr;
}

CommandLine invalid(const QString& error)
{
    CommandLine line;
    line.mode = CommandLine::Mode::Invalid;
    line.error = error;
    return line;
}

CommandLine repeated(const QString& name)
{
    return invalid(QStringLiteral("%1 ist mehrfach angegeben; bitte nur einmal angeben.").arg(name));
}

bool isOptionName(const QString& argument)
{
    static const QStringList names{QStringLiteral("--batch"), QStringLiteral("--force"), QStringLiteral("--vat"),
                                   QStringLiteral("--source"), QStringLiteral("--report"), QStringLiteral("--help"),
                                   QStringLiteral("-h"), QStringLiteral("--version")};
    return names.contains(argument.section(QLatin1Char('='), 0, 0));
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    bool batchOptionSeen = false;
    for (int i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        if (const int equals = name.indexOf(QLatin1Char('=')); name.startsWith(QLatin1String("--")) && equals > 0) {
            inlineValue = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            return CommandLine{CommandLine::Mode::Help, {}, {}};
        if (name == QLatin1String("--version"))
            return CommandLine{CommandLine::Mode::Version, {}, {}};
        if (name == QLatin1String("--batch")) {
            if (line.mode == CommandLine::Mode::Batch)
                return repeated(name);
            line.mode = CommandLine::Mode::Batch;
            continue;
        }
        if (name == QLatin1String("--force")) {
            if (line.batch.force)
                return repeated(name);
            line.batch.force = true;
            batchOptionSeen = true;
            continue;
        }
        std::optional<QString>* slot = valueSlot(line.batch, name);
        if (!slot)
            return invalid(QStringLiteral("Unbekannte Angabe: %1").arg(arguments[i]));
        if (!inlineValue) {
            // "--vat --force" forgot the rate; taking the next option as it would write "--force".
            if (i + 1 >= arguments.size() || isOptionName(arguments[i + 1]))
                return invalid(QStringLiteral("Zu %1 fehlt der Wert.").arg(name));
            inlineValue = arguments[++i];
        }
        if (inlineValue->isEmpty() && name != QLatin1String("--vat"))
            return invalid(QStringLiteral("Zu %1 fehlt der Wert.").arg(name));
        // Which of two values was meant cannot be guessed, and taking either could migrate wrongly.
        if (slot->has_value())
            return repeated(name);
        *slot = *inlineValue;
        batchOptionSeen = true;
    }
    if (batchOptionSeen && line.mode != CommandLine::Mode::Batch)
        return invalid(QStringLiteral("--vat, --source, --report und --force gelten nur mit --batch."));
    return line;
}

QString helpText()
{
    return QStringLiteral(
        "Aufruf:\n"
        "  tavik-migrate                 öffnet das Programmfenster\n"
        "  tavik-migrate --batch [--vat TEXT] [--source PFAD] [--report DATEI] [--force]\n"
        "  tavik-migrate --help | --version\n"
        "\n"
        "Überträgt die Daten von Tavik 2.0 nach Tavik 5.0: Datenbank kopieren, Datenpfad ändern,\n"
        "MwSt. für Speisen und Getränke, Datenfelder zufügen, Daten importieren.\n"
        "Die Pfade der Datendateien stammen aus den Einstellungen von Tavik 2.0 und Tavik 5.0.\n"
        "\n"
        "  --batch          führt alle Aufgaben ohne Fenster und ohne Pausen aus\n"
        "  --vat TEXT       MwSt. für Speisen und Getränke, genau so übernommen; ohne diese Angabe\n"
        "                   wird am Terminal gefragt (Vorgabe 19)\n"
        "  --source PFAD    eine andere Tavik 2.0 Datendatei (wie \"Datei\" > \"Tavik 2.0 Datendatei öffnen\";\n"
        "                   ihr Kennwort wird entfernt)\n"
        "  --report DATEI   schreibt einen Bericht im JSON-Format\n"
        "  --force          ersetzt auch eine bereits importierte Tavik 5.0 Datendatei\n"
        "\n"
        "Rückgabewerte:\n"
        "  0  Daten erfolgreich importiert\n"
        "  1  die Datendatei konnte nicht kopiert werden (\"Datendatei ist geöffnet\"), die Tavik 5.0\n"
        "     Datendatei lässt sich nicht sichern oder beschreiben, oder ein anderer Lauf bearbeitet sie;\n"
        "     nichts wurde geändert\n"
        "  2  falsche Eingabe (MwSt. fehlt oder leer, falsche Datei, unbekannte oder doppelte Angabe,\n"
        "     Einstellungsdatei nicht lesbar)\n"
        "  3  Fehler der Datenbank beim Öffnen der Kopie oder beim Abschluss\n"
        "  4  die Reservierungen der Kopie konnten nicht gelesen werden\n"
        "  5  die Tavik 5.0 Datendatei ist bereits importiert (--force ersetzt sie)\n");
}

} // namespace tavik::app

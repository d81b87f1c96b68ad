#include "app/CommandLine.h"

namespace tavik::app {

namespace {

// Options that take a value, and where the value goes.
std::optional<QString>* valueSlot(BatchOptions& options, std::optional<QString>& maxSkipped, const QString& name)
{
    if (name == QLatin1String("--vat"))
        return &options.vat;
    if (name == QLatin1String("--source"))
        return &options.source;
    if (name == QLatin1String("--report"))
        return &options.report;
    if (name == QLatin1String("--max-skipped"))
        return &maxSkipped;
    return nullptr;
}

// Options that take no value, and the flag each sets.
bool* flagSlot(BatchOptions& options, const QString& name)
{
    if (name == QLatin1String("--force"))
        return &options.force;
    if (name == QLatin1String("--check"))
        return &options.check;
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

CommandLine missingValue(const QString& name)
{
    return invalid(QStringLiteral("Zu %1 fehlt der Wert.").arg(name));
}

bool isOptionName(const QString& argument)
{
    static const QStringList names{QStringLiteral("--batch"), QStringLiteral("--force"), QStringLiteral("--vat"),
                                   QStringLiteral("--source"), QStringLiteral("--report"), QStringLiteral("--help"),
                                   QStringLiteral("-h"), QStringLiteral("--version"), QStringLiteral("--check"),
                                   QStringLiteral("--max-skipped"), QStringLiteral("--restore")};
    return names.contains(argument.section(QLatin1Char('='), 0, 0));
}

// What the options given so far allow together; empty when they fit.
QString whyNotTogether(const BatchOptions& options, bool batch, bool batchOptionSeen)
{
    if (options.restore && batchOptionSeen)
        return QStringLiteral("--restore steht für sich allein: --vat, --source, --report, --force, --check und --max-skipped "
                              "gelten nur für eine Übertragung.");
    if (batchOptionSeen && !batch)
        return QStringLiteral("--vat, --source, --report, --force, --check und --max-skipped gelten nur mit --batch.");
    return {};
}

// The value of an option whose value may be left out: what follows is only taken when it cannot be
// an option, so "--restore --batch" restores from the usual backup.
std::optional<QString> optionalValue(const QStringList& arguments, int& i, const std::optional<QString>& inlineValue)
{
    if (inlineValue || i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1Char('-')))
        return inlineValue;
    return arguments[++i];
}

// The checks that need every option seen.
CommandLine completed(CommandLine line, bool batch, bool batchOptionSeen, const std::optional<QString>& maxSkipped)
{
    if (const QString why = whyNotTogether(line.batch, batch, batchOptionSeen); !why.isEmpty())
        return invalid(why);
    if (maxSkipped) {
        line.batch.maxSkipped = SkipLimit::parse(*maxSkipped);
        if (!line.batch.maxSkipped)
            return invalid(QStringLiteral("Falscher Wert für --max-skipped: \"%1\". Erlaubt sind eine ganze Zahl ab 0 (zum Beispiel 50) "
                                          "oder ein Anteil der Reservierungen von 0 bis 100 Prozent (zum Beispiel 2%).")
                               .arg(*maxSkipped));
    }
    if (batch || line.batch.restore)
        line.mode = CommandLine::Mode::Batch;
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    bool batch = false;
    bool batchOptionSeen = false;
    std::optional<QString> maxSkipped;
    for (int i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        if (const int equals = name.indexOf(QLatin1Char('=')); name.startsWith(QLatin1String("--")) && equals > 0) {
            inlineValue = name.mid(equals + 1);
            name = name.left(equals);
        }
        const bool help = name == QLatin1String("--help") || name == QLatin1String("-h");
        if (help || name == QLatin1String("--version")) {
            // "--help --vat 7" or "--version --batsch" would hide a typo behind exit 0.
            if (inlineValue || arguments.size() > 2)
                return invalid(QStringLiteral("%1 steht allein, ohne weitere Angaben.").arg(name));
            return CommandLine { help ? CommandLine::Mode::Help : CommandLine::Mode::Version, {}, {} };
        }
        if (inlineValue && (name == QLatin1String("--batch") || flagSlot(line.batch, name)))
            return invalid(QStringLiteral("%1 nimmt keinen Wert: %2").arg(name, arguments[i]));
        if (name == QLatin1String("--batch")) {
            if (batch)
                return repeated(name);
            batch = true;
            continue;
        }
        if (bool* flag = flagSlot(line.batch, name)) {
            if (*flag)
                return repeated(name);
            *flag = true;
            batchOptionSeen = true;
            continue;
        }
        if (name == QLatin1String("--restore")) {
            if (line.batch.restore)
                return repeated(name);
            line.batch.restore = true;
            line.batch.restoreFrom = optionalValue(arguments, i, inlineValue);
            if (line.batch.restoreFrom && line.batch.restoreFrom->isEmpty())
                return missingValue(name);
            continue;
        }
        std::optional<QString>* slot = valueSlot(line.batch, maxSkipped, name);
        if (!slot)
            return invalid(QStringLiteral("Unbekannte Angabe: %1").arg(arguments[i]));
        if (!inlineValue) {
            // "--vat --force" forgot the rate; taking the next option as it would write "--force".
            if (i + 1 >= arguments.size() || isOptionName(arguments[i + 1]))
                return missingValue(name);
            inlineValue = arguments[++i];
        }
        if (inlineValue->isEmpty() && name != QLatin1String("--vat"))
            return missingValue(name);
        // Which of two values was meant cannot be guessed, and taking either could migrate wrongly.
        if (slot->has_value())
            return repeated(name);
        *slot = *inlineValue;
        batchOptionSeen = true;
    }
    return completed(std::move(line), batch, batchOptionSeen, maxSkipped);
}

QString helpText()
{
    return QStringLiteral(
        "Aufruf:\n"
        "  tavik-migrate                 öffnet das Programmfenster\n"
        "  tavik-migrate --batch [--vat TEXT] [--source PFAD] [--report DATEI] [--force]\n"
        "                [--check] [--max-skipped N|P%]\n"
        "  tavik-migrate --restore [DATEI]\n"
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
        "  --check          Probelauf: alle Aufgaben auf Kopien in einem temporären Ordner (TMPDIR);\n"
        "                   es wird nichts geändert, der Rückgabewert sagt, wie ein echter Lauf enden würde\n"
        "  --max-skipped N|P%\n"
        "                   mehr als N übersprungene Vorgänge (oder P% der Reservierungen) machen den\n"
        "                   Lauf rückgängig: die Tavik 5.0 Datendatei wird aus ihrer Sicherung\n"
        "                   zurückgeholt, die fehlgeschlagene Kopie bleibt mit Datum daneben\n"
        "  --restore [DATEI]\n"
        "                   holt die Tavik 5.0 Datendatei aus tavik_50.ba0 (oder aus DATEI, etwa einer\n"
        "                   Sicherung mit Datum) zurück; die ersetzte Datei bleibt mit Datum daneben\n"
        "\n"
        "Rückgabewerte:\n"
        "  0  Daten erfolgreich importiert (mit --restore: Datendatei zurückgeholt)\n"
        "  1  die Datendatei konnte nicht kopiert werden (\"Datendatei ist geöffnet\"), die Tavik 5.0\n"
        "     Datendatei lässt sich nicht sichern oder beschreiben, oder ein anderer Lauf bearbeitet sie;\n"
        "     nichts wurde geändert\n"
        "  2  falsche Eingabe (MwSt. fehlt oder leer, falsche Datei, unbekannte oder doppelte Angabe,\n"
        "     Einstellungsdatei nicht lesbar, keine Sicherung zum Zurückholen)\n"
        "  3  Fehler der Datenbank beim Öffnen der Kopie oder beim Abschluss\n"
        "  4  die Reservierungen der Kopie konnten nicht gelesen werden\n"
        "  5  die Tavik 5.0 Datendatei ist bereits importiert (--force ersetzt sie)\n"
        "  6  mehr übersprungene Vorgänge als --max-skipped erlaubt; die Tavik 5.0 Datendatei wurde\n"
        "     aus ihrer Sicherung zurückgeholt\n");
}

} // namespace tavik::app

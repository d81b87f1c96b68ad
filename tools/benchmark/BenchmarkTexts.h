#pragma once

#include <QString>

// Everything the benchmark says, kept together so the texts read alike.
namespace tavik::benchmark::texts {

inline const QString description = QStringLiteral(
    "Misst die Stapelverarbeitung von tavik-migrate an Beispielhotels verschiedener Größe gegen eine "
    "Grundlinie, die dieselbe Datenbankarbeit allein mit SQLite erledigt, und prüft die Zielwerte.\n"
    "Rückgabewert: 0 alle Ziele erfüllt, 3 ein Ziel verfehlt, 1 ein Lauf gescheitert, 2 falscher Aufruf.");
inline const QString sizesOption
    = QStringLiteral("Anzahlen der Reservierungen, durch Kommas getrennt (Vorgabe: %1).");
inline const QString repeatOption
    = QStringLiteral("Läufe je Größe; berichtet wird der Median (Vorgabe: %1).");
inline const QString migrateOption
    = QStringLiteral("Pfad des Programms tavik-migrate (Vorgabe: das im Build-Ordner).");
inline const QString baselineOption
    = QStringLiteral("Pfad der Grundlinie tavik-benchmark-baseline (Vorgabe: die neben diesem Programm).");
inline const QString workOption
    = QStringLiteral("Arbeitsordner für Beispieldateien und Berichte; er bleibt erhalten (Vorgabe: ein "
                     "temporärer Ordner, der danach gelöscht wird).");
inline const QString seedOption = QStringLiteral("Startwert des Beispielgenerators (Vorgabe: %1).");
inline const QString wholeRunOption = QStringLiteral(
    "Misst den ganzen Stapellauf mit und ohne --report statt Aufgabe 4, auf Beispielhotels mit Preisen "
    "ohne Zahl (Vorgabe-Größen dann: %1).");
inline const QString oddPricesOption
    = QStringLiteral("Anteil in Prozent der Beträge und Steuersätze ohne Zahl im Beispielhotel (Vorgabe: %1, "
                     "mit --whole-run %2).");
inline const QString badOddPrices
    = QStringLiteral("Der Anteil der Preise ohne Zahl muss eine ganze Zahl von 0 bis 100 sein: \"%1\".");
inline const QString localeOption
    = QStringLiteral("Gebietsschema (LC_ALL) der Migration, das ihr Zahlenformat bestimmt (Vorgabe: %1).");
inline const QString badSizes
    = QStringLiteral("Die Größen müssen ganze Zahlen ab 1 sein, durch Kommas getrennt: \"%1\".");
inline const QString badRepeat = QStringLiteral("Die Zahl der Läufe muss eine ganze Zahl ab 1 sein: \"%1\".");
inline const QString badSeed = QStringLiteral("Der Startwert muss eine ganze Zahl ab 0 sein: \"%1\".");
inline const QString programMissing = QStringLiteral("Das Programm \"%1\" fehlt oder ist nicht ausführbar.");
inline const QString workFolderNotCreated = QStringLiteral("Der Arbeitsordner lässt sich nicht anlegen.");

inline const QString generating = QStringLiteral("%1 Reservierungen: Beispieldatei wird erzeugt …");
inline const QString running = QStringLiteral("%1 Reservierungen: Lauf %2 von %3 …");
inline const QString ranFor = QStringLiteral(" Aufgabe 4 %1 s, Grundlinie %2 s");
inline const QString wholeRanFor = QStringLiteral(" %1 %2 s, Grundlinie %3 s;");

inline const QString folderNotCreated = QStringLiteral("Der Ordner \"%1\" lässt sich nicht anlegen.");
inline const QString settingsNotWritten
    = QStringLiteral("Die Einstellungen \"%1\" lassen sich nicht schreiben.");
inline const QString copyFailed = QStringLiteral("\"%1\" lässt sich nicht nach \"%2\" kopieren.");
inline const QString runFailed = QStringLiteral("\"%1\" endete mit Status %2; Ausgabe in \"%3\".");
inline const QString reportMissing = QStringLiteral("Der Bericht \"%1\" fehlt.");
inline const QString outputMissing = QStringLiteral("Die Ausgabe \"%1\" fehlt.");
inline const QString reportUnreadable = QStringLiteral("Der Bericht \"%1\" ist kein lesbares JSON: %2");
inline const QString importTaskMissing = QStringLiteral("Bericht oder Ausgabe enthalten die Aufgabe \"%1\" nicht.");
inline const QString countsDiffer
    = QStringLiteral("Bei %1 Reservierungen schrieb die Migration %2 Verzehrzeilen zu %3 Reservierungen, die "
                     "Grundlinie %4 zu %5.");
inline const QString failed = QStringLiteral("Fehler: %1");

inline const QString heading
    = QStringLiteral("Stapelverarbeitung gegen die SQLite-Grundlinie, Median aus %1 Läufen; das Verhältnis ist der "
                     "Median der Verhältnisse je Lauf (Aufgabe 4 und die gleich danach laufende Grundlinie)");
inline const QString machine = QStringLiteral("Rechner: %1 Kerne, %2, %3 GiB Arbeitsspeicher");
inline const QString figuresHeader
    = QStringLiteral("| Reservierungen | Verzehrzeilen | Gesamtlauf | Aufgabe 4 | Grundlinie | Verhältnis | "
                     "Reservierungen/s | Verzehrzeilen/s | Speicher (Spitze) | Speicher Grundlinie |");
inline const QString taskColumn = QStringLiteral("Aufgabe");
inline const QString seconds = QStringLiteral("%1 s");
inline const QString megabytes = QStringLiteral("%1 MB");
inline const QString ratioTarget
    = QStringLiteral("Verhältnis Aufgabe 4 / Grundlinie bei %1 Reservierungen: %2 (Ziel höchstens %3): %4");
inline const QString linearityTarget = QStringLiteral(
    "Linearität Aufgabe 4 bei %1 / %2 Reservierungen: %3 (Ziel höchstens %4): %5; Grundlinie %6");
inline const QString memoryTarget
    = QStringLiteral("Spitzenspeicher bei %1 Reservierungen: %2 MB (Ziel unter %3 MB): %4");
inline const QString withReport = QStringLiteral("mit --report");
inline const QString withoutReport = QStringLiteral("ohne --report");
inline const QString wholeHeading = QStringLiteral(
    "Ganzer Stapellauf (tavik-migrate --batch --vat 19, mit und ohne --report) gegen die SQLite-Grundlinie "
    "auf Beispielhotels mit %1 % Beträgen und Steuersätzen ohne Zahl, Median aus %2 Läufen; Zeiten von außen "
    "gemessen (Start bis Ende des Prozesses), das Verhältnis ist der Median der Verhältnisse je Lauf (ganzer "
    "Lauf und die gleich danach laufende Grundlinie)");
inline const QString wholeHeader = QStringLiteral(
    "| Reservierungen | Übersprungen | je 100 Reservierungen | Verzehrzeilen | Mit --report | "
    "Verhältnis | Speicher (Spitze) | Ohne --report | Verhältnis | Speicher (Spitze) | "
    "Grundlinie | Speicher Grundlinie |");
inline const QString wholeRatioTarget = QStringLiteral(
    "Verhältnis ganzer Lauf mit --report / Grundlinie bei %1 Reservierungen: %2 (Ziel höchstens %3): %4");
inline const QString wholeLinearityTarget = QStringLiteral(
    "Linearität ganzer Lauf %1 bei %2 / %3 Reservierungen: %4 (Ziel höchstens %5): %6; Grundlinie %7");
inline const QString wholeMemoryTarget
    = QStringLiteral("Spitzenspeicher %1 bei %2 Reservierungen: %3 MB (Ziel unter %4 MB): %5");
inline const QString held = QStringLiteral("erfüllt");
inline const QString missed = QStringLiteral("verfehlt");
inline const QString notJudged
    = QStringLiteral("nicht bewertet (unter %1 Reservierungen misst das mehr Rauschen als Wachstum)");

} // namespace tavik::benchmark::texts

#pragma once

#include <QString>

// The texts of the window and the batch mode, in one place so that what both say stays the same.
// The tasks' own names are the store's (store/StoreTexts.h): every part reports under them.
namespace tavik::app::texts {

// The last words of a run that worked, in the window's closing box and on the terminal.
inline const QString windowMissing
    = QStringLiteral("Das Fenster kann nicht geöffnet werden: Das Programm \"%1\" fehlt. Die Stapelverarbeitung "
                     "(--batch) geht ohne es; sonst bitte tavik-migrate neu installieren.");
inline const QString windowNotStarted
    = QStringLiteral("Das Fenster kann nicht geöffnet werden: Das Programm \"%1\" ließ sich nicht starten (%2).");
inline const QString noDisplaySet
    = QStringLiteral("Das Fenster kann nicht geöffnet werden: Es ist keine Anzeige eingestellt (DISPLAY und "
                     "WAYLAND_DISPLAY sind leer, etwa bei einer Anmeldung über SSH). Ohne Fenster läuft die "
                     "Migration mit \"tavik-migrate --batch\"; \"tavik-migrate --help\" nennt die Optionen.");
inline const QString displayUnreachable
    = QStringLiteral("Das Fenster kann nicht geöffnet werden: Die Anzeige \"%1\" ist nicht erreichbar. Ohne "
                     "Fenster läuft die Migration mit \"tavik-migrate --batch\"; \"tavik-migrate --help\" nennt "
                     "die Optionen.");
inline const QString runSucceeded = QStringLiteral("Sie können jetzt Tavik 5.0 starten");

// The window.
inline const QString closingTitle = QStringLiteral("Tavik 5.0 - Datenimport");
inline const QString importedText
    = QStringLiteral("Daten wurden erfolgreich importiert. Sie können jetzt Tavik 5.0 starten. Der "
                     "Datenstand für Tavik 2.0 bleibt unverändert");
inline const QString oneSkipped = QStringLiteral("1 Vorgang wurde");
inline const QString severalSkipped = QStringLiteral("%1 Vorgänge wurden");
inline const QString skippedSuffix = QStringLiteral(" übersprungen; ");
inline const QString logWrittenTo = QStringLiteral("das Protokoll steht in \"%1\".");
inline const QString logNotWrittenTo = QStringLiteral("das Protokoll konnte nicht nach \"%1\" geschrieben werden.");

// The batch mode.
inline const QString emptyVat
    = QStringLiteral("Falscher Wert: Die MwSt. für Speisen und Getränke (--vat) darf nicht leer sein.");
inline const QString vatNeeded = QStringLiteral("Die MwSt. für Speisen und Getränke fehlt: Ohne Terminal "
                                                "kann nicht danach gefragt werden, bitte mit --vat angeben. "
                                                "Es wurde nichts geändert.");
inline const QString vatNotAnswered = QStringLiteral(
    "Die Frage nach der MwSt. für Speisen und Getränke wurde nicht beantwortet. Es wurde nichts geändert.");
inline const QString wouldSucceed = QStringLiteral("Ein echter Lauf würde gelingen (Rückgabewert 0).");
inline const QString wouldStop = QStringLiteral("Ein echter Lauf würde mit Rückgabewert %1 enden:");
inline const QString checkNotRun
    = QStringLiteral("Der Probelauf selbst konnte nicht laufen; wie ein echter Lauf enden würde, ist offen:");
inline const QString tooManySkipped
    = QStringLiteral("Zu viele übersprungene Vorgänge: %1, erlaubt sind höchstens %2 (--max-skipped %3). "
                     "Die Tavik 5.0 Datendatei wurde nicht als importiert gekennzeichnet.");
inline const QString damagedCopy = QStringLiteral(
    "Die Kopie der Tavik 2.0 Datendatei \"%1\" ist beschädigt: SQLite fand fehlerhafte Daten "
    "darin (übersprungene Vorgänge deswegen: %2). Die Tavik 2.0 Datendatei selbst bleibt unverändert, ist aber "
    "vermutlich schon beschädigt. Die Tavik 5.0 Datendatei wurde nicht als importiert "
    "gekennzeichnet.");
inline const QString wouldBeUndone
    = QStringLiteral("Ein echter Lauf würde sie aus ihrer Sicherung zurückholen und die fehlgeschlagene "
                     "Kopie mit Datum daneben aufbewahren.");
inline const QString alreadyImported
    = QStringLiteral("Die Tavik 5.0 Datendatei \"%1\" ist bereits importiert und wird nicht ersetzt. Mit "
                     "--force wird sie trotzdem ersetzt.");
inline const QString reportNotWritten = QStringLiteral("Der Bericht \"%1\" konnte nicht geschrieben werden%2.");
inline const QString logNotWritten = QStringLiteral("Das Protokoll \"%1\" konnte nicht geschrieben werden%2.");
inline const QString writeFailureCause = QStringLiteral(": %1");
inline const QString runInterrupted = QStringLiteral("Der Lauf wurde abgebrochen (%1).");
inline const QString targetReplacedBackup = QStringLiteral(
    "Die Tavik 5.0 Datendatei ist schon durch die Kopie ersetzt und nicht fertig migriert; die Datei von davor liegt "
    "in der Sicherung \"%1\" und wird mit --restore \"%1\" zurückgeholt.");
inline const QString earlierBackupKept = QStringLiteral(
    "Die Sicherung eines früheren Laufs wurde zu Beginn unter \"%1\" aufbewahrt; war jener Lauf abgebrochen, "
    "hält sie die Datei von davor und wird mit --restore \"%1\" zurückgeholt.");

// What each task did, one line of the batch mode's table.
inline const QString taskCutOff = QStringLiteral("abgebrochen");
inline const QString sourceTaken = QStringLiteral("Quelle: %1");
// The user's own file changes there, so it is said.
inline const QString sourcePasswordRemoved = QStringLiteral(" (das Kennwort der Datei wurde entfernt)");
inline const QString sourcePasswordWouldGo = QStringLiteral(" (ein echter Lauf entfernt das Kennwort der Datei)");
inline const QString emptyDataPath = QStringLiteral(
    "In den Einstellungen von %1 ist der Datenpfad (Startup/Datenpfad) leer eingetragen. Es wurde nichts geändert.");
inline const QString chosenSourceMissing
    = QStringLiteral("Die mit --source genannte Datei \"%1\" ist nicht vorhanden. Es wurde nichts geändert.");
inline const QString chosenSourceNoFile
    = QStringLiteral("Unter dem mit --source genannten Pfad \"%1\" liegt keine Datei. Es wurde nichts geändert.");
// After the engine's text on an older file it cannot read: nothing was copied over the target.
inline const QString olderFileWithoutReservations
    = QStringLiteral("Die Datei \"%1\" enthält keine Tabelle \"Reservierungen\" mit den Feldern einer Reservierung "
                     "und ist keine Datendatei von Tavik 2.0.");
inline const QString olderFileWithoutRowNumbers = QStringLiteral(
    "In der Datei \"%1\" ist die Tabelle \"Reservierungen\" ohne Datensatznummern angelegt "
    "(WITHOUT ROWID), wie Tavik 2.0 sie nie anlegt; ihre Reservierungen lassen sich nicht übernehmen.");
inline const QString olderFileDamaged = QStringLiteral(
    "Die Datei \"%1\" ist beschädigt: SQLite fand bei der Prüfung aller Seiten und Indizes fehlerhafte Daten "
    "darin. Bitte eine unbeschädigte Sicherung der Tavik 2.0 Datendatei verwenden.");
inline const QString olderFileNotCopied
    = QStringLiteral("Die Tavik 2.0 Datendatei wurde nicht kopiert; die Tavik 5.0 Datendatei ist unverändert.");
inline const QString fileCopied = QStringLiteral("Datei kopiert (%1)");
inline const QString sourcesBound = QStringLiteral("Reservierungen und Verzehr der Kopie geöffnet");
inline const QString articlesGivenRate = QStringLiteral("%1 Artikel ohne Steuersatz erhielten \"%2\"");
inline const QString fieldsAdded = QStringLiteral("%1 Felder zugefügt (Einstellungen %2, Tabelle1 %3, Tabelle2 %4)");
inline const QString reservationsImported = QStringLiteral("%1 Reservierungen, %2 Verzehrzeilen, Summen geschrieben");
inline const QString runStopped = QStringLiteral("Der Lauf endete mit Rückgabewert %1: %2");
inline const QString importNotBegun = QStringLiteral("nicht begonnen");
inline const QString importNotStored = QStringLiteral("%1 Reservierungen durchlaufen, nichts gespeichert");
inline const QString markedImported = QStringLiteral("als \"importiert\" gekennzeichnet");

} // namespace tavik::app::texts

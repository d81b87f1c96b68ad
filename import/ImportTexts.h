#pragma once

#include <QString>

// Every German text of the reservation import, in one place so they can be checked together.
namespace tavik::import::texts {

inline const QString reservationsTable = QStringLiteral("Reservierungen");

// Shown instead of the success text when the walk could not begin; the engine's own text follows.
inline const QString reservationsNotOpened
    = QStringLiteral("Die Reservierungen konnten nicht geöffnet werden. Es wurden keine Daten importiert. ");

// Shown instead of the success text when the settings of the older file cannot be read: %1 the
// older file, %2 the cause.
inline const QString settingsNotRead
    = QStringLiteral("Die Steuersätze der Einstellungen in \"%1\" konnten nicht gelesen werden; ohne sie "
                     "wären alle Summen falsch. Es wurden keine Daten importiert. %2");
inline const QString noSettingsRecord
    = QStringLiteral("Die Tabelle \"Einstellungen\" enthält keinen Datensatz.");

// Operations, as the log names them.
inline const QString bindSource = QStringLiteral("%1 an die Datendatei binden");
inline const QString readSettingsRate = QStringLiteral("Steuersatz der Einstellungen lesen");
inline const QString readReservationField = QStringLiteral("Feld der Reservierung lesen");
inline const QString readLineRate = QStringLiteral("Steuersatz der Zeile lesen");
inline const QString readQuantity = QStringLiteral("Menge der Zimmerzeile lesen");
inline const QString startLine = QStringLiteral("Verzehrzeile anlegen");
inline const QString assignLineField = QStringLiteral("Feld der Verzehrzeile setzen");
inline const QString sumLineAmount = QStringLiteral("Betrag der Verzehrzeile summieren");
inline const QString saveLine = QStringLiteral("Verzehrzeile speichern");
inline const QString takeOverLine = QStringLiteral("Preiszeile übernehmen");
inline const QString writeTotal = QStringLiteral("Summe in die Reservierung schreiben");
inline const QString clearMovedField = QStringLiteral("übernommenes Feld der Reservierung leeren");
inline const QString moveToFirstReservation = QStringLiteral("zur ersten Reservierung gehen");
inline const QString storeReservation = QStringLiteral("Reservierung speichern");
inline const QString readReservation
    = QStringLiteral("Reservierung lesen (sie bleibt unverändert, ihre Preiszeilen werden nicht übernommen)");
inline const QString beginTransaction = QStringLiteral("Transaktion beginnen");
inline const QString commitTransaction = QStringLiteral("Transaktion festschreiben");

// Reasons that are not engine errors.
inline const QString settingsRateNotANumber
    = QStringLiteral("Der Steuersatz ist keine Zahl; dieser Summe wird keine Zeile zugerechnet.");
inline const QString fieldMissing
    = QStringLiteral("Das Feld fehlt in der Tabelle; es wird als leer gelesen.");
inline const QString lineRateNotANumber = QStringLiteral(
    "Der Steuersatz ist keine Zahl; die Zeile wird geschrieben, zählt aber zu keiner Summe.");
inline const QString quantityTooLarge
    = QStringLiteral("Die Menge passt nicht in eine 16-Bit-Zahl; die Zeile erhält die Menge 1.");
inline const QString amountNotANumber
    = QStringLiteral("Der Betrag ist keine Zahl; die Zeile wird geschrieben, zählt aber zu keiner Summe.");
inline const QString lineWithoutText = QStringLiteral(
    "Die Preiszeile hat keinen Text und wird nicht übernommen; ihr Betrag zählt zu keiner Summe und wird mit "
    "den übrigen Preisfeldern geleert. In der Tavik 2.0 Datendatei steht er weiter.");
inline const QString totalTooLarge
    = QStringLiteral("Die Summe ist zu groß, um als Zahl geschrieben zu werden; das Feld wird geleert.");

// Parts of the room line's text.
inline const QString roomTextSeparator = QStringLiteral(" - ");
inline const QString oneNight = QStringLiteral(" Nacht ");
inline const QString severalNights = QStringLiteral(" Nächte ");

// What a line carried, so a line that could not be stored is not lost from the log.
inline const QString lineContent = QStringLiteral("Text \"%1\", Betrag \"%2\"");
// What a failed commit took back.
inline const QString notStored = QStringLiteral(
    "Die Daten konnten nicht vollständig gespeichert werden: %1 Die Tavik 5.0 Datendatei ist nicht als importiert gekennzeichnet.");
inline const QString batchContent = QStringLiteral("%1 Reservierungen mit %2 Verzehrzeilen zurückgenommen");

} // namespace tavik::import::texts

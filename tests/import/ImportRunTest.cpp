#include "ImportFixture.h"
#include "tests/support/ReadInterruption.h"

#include "import/ImportTexts.h"
#include "store/Transaction.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace importfixture;
using tavik::store::SkippedOperation;

namespace {

QVariantMap boardLine(const QString& text, const QString& amount)
{
    return { { QStringLiteral("Re11"), text }, { QStringLiteral("Erw17"), QStringLiteral("19") },
        { QStringLiteral("Re12"), amount } };
}

QStringList numbered(const QString& prefix, int first, int last)
{
    QStringList names;
    for (int number = first; number <= last; ++number)
        names << prefix + QString::number(number);
    return names;
}

const QStringList reservationFields = QStringList { "ID" } + numbered("Re", 1, 24) + numbered("Erw", 1, 25)
    + numbered("Opt", 1, 5) + numbered("Spare", 1, 5);

// Each skipped operation as "table key:operation:field", followed by " in table key" of the record
// it belongs to, and marked when it lacks its task or its reason.
QString recordOf(const QString& table, const std::optional<qint64>& key)
{
    return table + QLatin1Char(' ') + (key ? QString::number(*key) : QStringLiteral("-"));
}

QStringList skippedOperations(const tavik::store::RunLog& log)
{
    QStringList entries;
    for (const SkippedOperation& operation : log.firstSkipped()) {
        QString entry
            = QStringLiteral("%1:%2:%3")
                  .arg(recordOf(operation.table, operation.recordKey), operation.operation, operation.field);
        if (!operation.ownerTable.isEmpty())
            entry += QStringLiteral(" in ") + recordOf(operation.ownerTable, operation.ownerKey);
        if (operation.task != tavik::store::RunTask::Import)
            entry += QStringLiteral(" <task %1>").arg(tavik::store::taskId(operation.task));
        if (operation.reason.isEmpty())
            entry += QStringLiteral(" <no reason>");
        entries << entry;
    }
    return entries;
}

} // namespace

// The walk over all reservations: binding, progress, write-back, and what happens to odd files.
class ImportRunTest : public QObject {
    Q_OBJECT

private slots:
    void progressFollowsEachReservation();
    void emptyReservationTableWritesNothing();
    void reservationSetThatCannotBeOpenedEndsTheRunAtOnce_data();
    void reservationSetThatCannotBeOpenedEndsTheRunAtOnce();
    void settingsThatCannotBeReadEndTheRunBeforeAnyChange_data();
    void settingsThatCannotBeReadEndTheRunBeforeAnyChange();
    void movedFieldsAreClearedAndTheOthersKept();
    void ratesComeFromTheSourceAndEarlierLinesStay();
    void oddFileLogsEverySkippedOperation();
    void missingChargeTableKeepsTheLinesInTheLog();
    void walkSpansSeveralTransactions();
    void aReservationThatCannotBeReadKeepsItsPriceLines();
    void aTransactionTakenBackLeavesNoReservationHalfDone();
};

void ImportRunTest::progressFollowsEachReservation()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    files.addReservations(QList<QVariantMap>(3, boardLine("Frühstück", "12,00")));

    const RunOutcome outcome = runOn(files, german);

    QCOMPARE(outcome.progress.begun, std::optional<qint32>(3));
    QCOMPARE(outcome.progress.counters, (QList<qint64> { 1, 2, 3 }));
    QCOMPARE(outcome.progress.totals, (QList<qint32> { 3, 3, 3 }));
    QCOMPARE(outcome.result.reservationsWalked, 3);
}

void ImportRunTest::emptyReservationTableWritesNothing()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    const QByteArray before = bytesOf(files.target);

    const RunOutcome outcome = runOn(files, german);

    QVERIFY(outcome.result.walkBegan);
    QCOMPARE(outcome.progress.begun, std::optional<qint32>(0));
    QVERIFY(outcome.progress.counters.isEmpty());
    QCOMPARE(outcome.result.reservationsWalked, 0);
    QCOMPARE(outcome.result.chargeLinesWritten, 0);
    QVERIFY(outcome.log.skippedTotal() == 0);
    QCOMPARE(bytesOf(files.target), before);
}

void ImportRunTest::reservationSetThatCannotBeOpenedEndsTheRunAtOnce_data()
{
    QTest::addColumn<bool>("removeFile");
    QTest::addColumn<QString>("cause");
    QTest::newRow("target file missing") << true << "kann nicht geöffnet werden";
    QTest::newRow("table Reservierungen missing") << false << "Die Tabelle \"Reservierungen\" ist";
}

void ImportRunTest::reservationSetThatCannotBeOpenedEndsTheRunAtOnce()
{
    QFETCH(bool, removeFile);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    if (removeFile)
        QVERIFY(QFile::remove(files.target));
    else
        openForWriting(files.target)->execute(QStringLiteral("DROP TABLE \"Reservierungen\""));

    const RunOutcome outcome = runOn(files, german);

    QVERIFY(!outcome.result.walkBegan);
    QVERIFY(outcome.result.errorText.startsWith(tavik::import::texts::reservationsNotOpened));
    QVERIFY2(outcome.result.errorText.contains(cause), qPrintable(outcome.result.errorText));
    QVERIFY(!outcome.progress.begun);
    QCOMPARE(outcome.result.reservationsWalked, 0);
    QVERIFY(skippedOperations(outcome.log).contains("Reservierungen -:Data1 an die Datendatei binden:"));
    QCOMPARE(outcome.result.skippedOperations, int(outcome.log.skippedTotal()));
    QCOMPARE(QFile::exists(files.target), !removeFile);
}

void ImportRunTest::settingsThatCannotBeReadEndTheRunBeforeAnyChange_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("cause");
    QTest::newRow("older file missing") << "remove file"
                                        << "kann nicht geöffnet werden";
    QTest::newRow("table Einstellungen missing") << "DROP TABLE \"Einstellungen\""
                                                 << "Die Tabelle \"Einstellungen\" ist";
    QTest::newRow("no settings record")
        << "DELETE FROM \"Einstellungen\"" << tavik::import::texts::noSettingsRecord;
}

// Totals worked out without the settings' rates would be wrong in every reservation.
void ImportRunTest::settingsThatCannotBeReadEndTheRunBeforeAnyChange()
{
    QFETCH(QString, damage);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    files.addReservations({ boardLine("Frühstück", "12,00") });
    if (damage == QLatin1String("remove file"))
        QVERIFY(QFile::remove(files.source));
    else
        openForWriting(files.source)->execute(damage);
    const QByteArray before = bytesOf(files.target);

    const RunOutcome outcome = runOn(files, german);

    QVERIFY(!outcome.result.walkBegan);
    QVERIFY2(outcome.result.errorText.contains(QStringLiteral("\"%1\"").arg(files.source))
            && outcome.result.errorText.contains(cause),
        qPrintable(outcome.result.errorText));
    QVERIFY(!outcome.progress.begun);
    QCOMPARE(outcome.result.reservationsWalked, 0);
    QCOMPARE(bytesOf(files.target), before);
}

void ImportRunTest::movedFieldsAreClearedAndTheOthersKept()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    QVariantMap typed;
    for (const QString& field : reservationFields.mid(1))
        typed.insert(field, field.toLower());
    // Readable values where the lines need them; every other field holds its own name.
    typed.insert(reservation({ { "Re6", "2" }, { "Erw16", "19" }, { "Re10", "178,00" }, { "Erw17", "19" },
        { "Re12", "24,00" }, { "Erw18", "7" }, { "Re14", "6,00" }, { "Erw19", "19" }, { "Re16", "5,00" },
        { "Erw20", "0" }, { "Re22", "4,00" }, { "Erw21", "7" }, { "Re24", "3,00" }, { "Spare2", "2,50" },
        { "Re18", "7" } }));
    files.addReservations({ typed });

    const RunOutcome outcome = runOn(files, german);

    QVariantMap expected = typed;
    expected.insert(QStringLiteral("ID"), QStringLiteral("1"));
    for (const char* cleared : { "Spare3", "Re11", "Re12", "Re13", "Re14", "Re15", "Re16", "Re21", "Re22",
             "Re23", "Erw21", "Re24", "Spare1", "Spare2" })
        expected.insert(QString::fromLatin1(cleared), QStringLiteral("<null>"));
    // 19: room 178 + board 24 + extra 2 5; 7: extra 1 6 + extra 4 3; 0: extra 3 4 + tax 2.5.
    expected.insert(reservation({ { "Erw17", "207" }, { "Erw18", "9" }, { "Erw19", "6,5" },
        { "Erw20", "2,50" }, { "Re17", "222,5" } }));
    QStringList cells;
    for (const QString& field : reservationFields)
        cells << expected.value(field).toString();
    QCOMPARE(
        rows(files.target, importfixture::reservations, reservationFields), QStringList { cells.join('|') });
    QCOMPARE(outcome.result.chargeLinesWritten, 7);
    QVERIFY(outcome.log.skippedTotal() == 0);
}

// Data2 stands on the source, whose rates count; the target's earlier charge lines stay as they were.
void ImportRunTest::ratesComeFromTheSourceAndEarlierLinesStay()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path(), QStringLiteral("16"), QStringLiteral("5"));
    tavik::tools::insertRecord(*openForWriting(files.target), charges,
        reservation({ { "Ver1", "2" }, { "Ver2", "1" }, { "Z1", "Minibar Bier" }, { "Ver5", "6,00" },
            { "Ver6", "1" }, { "Ver8", "Minibar" } }));
    files.addReservations({ reservation({ { "Re11", "Frühstück" }, { "Erw17", "16" }, { "Re12", "10,00" },
        { "Re13", "Sauna" }, { "Erw18", "5" }, { "Re14", "4,00" } }) });
    const QStringList linesBefore = rows(files.target, charges, lineFields);
    const QByteArray sourceBefore = bytesOf(files.source);

    tavik::store::Engine engine(german);
    tavik::store::DataControls controls(engine);
    RecordingProgress progress;
    tavik::store::RunLog log;
    tavik::import::runImport(controls, files.target, files.source, progress, log, german);

    QCOMPARE(controls.reservations.databaseName(), files.target);
    QCOMPARE(controls.articles.databaseName(), files.target);
    QCOMPARE(controls.chargeLines.databaseName(), files.target);
    QCOMPARE(controls.settings.databaseName(), files.source);
    QVERIFY(controls.reservations.eof());
    QCOMPARE(
        rows(files.target, importfixture::reservations, totalFields), QStringList { "10|4|0|<null>|14" });
    const QStringList appended { "|1|Frühstück|16||10,00|1|Verpflegung|ZR", "|2|Sauna|5||4,00|1|<null>|ZR" };
    QCOMPARE(rows(files.target, charges, lineFields), linesBefore + appended);
    QCOMPARE(bytesOf(files.source), sourceBefore);
    QVERIFY(!QFile::exists(files.source + QStringLiteral("-journal")));
}

// Verzehr lacks Ver8 and has a short Z1, refuses the line "Sauna", and reservation 2 refuses to
// give up its board text: every refusal is logged with the reservation, and nothing else is lost. A
// refused line names its reservation as what it belongs to, never as a key of its own table.
void ImportRunTest::oddFileLogsEverySkippedOperation()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    {
        auto connection = openForWriting(files.target);
        connection->execute(QStringLiteral("DROP TABLE \"Verzehr\""));
        QStringList columns { "\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT" };
        for (const QString& field : numbered("Ver", 1, 10)) {
            if (field != QLatin1String("Ver8"))
                columns << QStringLiteral("\"%1\" VARCHAR(50) CHECK(length(\"%1\") <= 50)").arg(field);
        }
        columns << QStringLiteral("\"Z1\" VARCHAR(10) CHECK(length(\"Z1\") <= 10)");
        connection->execute(QStringLiteral("CREATE TABLE \"Verzehr\" (%1)").arg(columns.join(", ")));
        connection->execute(QStringLiteral(
            "CREATE TRIGGER refuse_sauna BEFORE INSERT ON \"Verzehr\" WHEN NEW.\"Z1\" = 'Sauna' "
            "BEGIN SELECT RAISE(ABORT, 'Sauna gesperrt'); END"));
        connection->execute(QStringLiteral(
            "CREATE TRIGGER keep_board BEFORE UPDATE OF \"Re11\" ON \"Reservierungen\" "
            "WHEN OLD.\"ID\" = 2 AND NEW.\"Re11\" IS NULL BEGIN SELECT RAISE(ABORT, 'Re11 gesperrt'); END"));
    }
    const QVariantMap second = reservation({ { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "12,00" },
        { "Re13", "Sauna" }, { "Erw18", "19" }, { "Re14", "6,00" } });
    files.addReservations({ reservation({ { "Opt1", "Doppelzimmer" }, { "Re6", "2" }, { "Erw16", "19" },
                                { "Re10", "178,00" } }),
        second, boardLine("Pension", "28,00") });

    const RunOutcome outcome = runOn(files, german);

    QCOMPARE(skippedOperations(outcome.log),
        (QStringList { "Verzehr -:Feld der Verzehrzeile setzen:Z1 in Reservierungen 1",
            "Verzehr -:Feld der Verzehrzeile setzen:Ver8 in Reservierungen 1",
            "Verzehr -:Feld der Verzehrzeile setzen:Ver8 in Reservierungen 2",
            "Verzehr -:Verzehrzeile speichern: in Reservierungen 2",
            "Reservierungen 2:Reservierung speichern:",
            "Verzehr -:Feld der Verzehrzeile setzen:Ver8 in Reservierungen 3" }));
    QCOMPARE(outcome.log.firstSkipped().first().value, QStringLiteral("Doppelzimmer - 2 Nächte "));
    QVERIFY(outcome.log.firstSkipped().at(3).value.contains(QStringLiteral("Sauna")));
    QCOMPARE(outcome.result.skippedOperations, 6);
    // The refused line used up its number; the room line is stored without its text.
    QCOMPARE(rows(files.target, charges, { "Ver2", "Z1", "Ver5", "Ver6" }),
        (QStringList { "1|<null>|178,00|1", "2|Frühstück|12,00|2", "4|Pension|28,00|3" }));
    QCOMPARE(outcome.result.chargeLinesWritten, 3);
    // Reservation 2 keeps everything it had, since its record could not be stored.
    QCOMPARE(rows(files.target, importfixture::reservations, { "Re11", "Re13", "Erw17", "Re17" }),
        (QStringList { "<null>|<null>|178|178", "Frühstück|Sauna|19|<null>", "<null>|<null>|28|28" }));
}

void ImportRunTest::missingChargeTableKeepsTheLinesInTheLog()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    openForWriting(files.target)->execute(QStringLiteral("DROP TABLE \"Verzehr\""));
    files.addReservations({ boardLine("Frühstück", "12,00") });

    const RunOutcome outcome = runOn(files, german);

    QVERIFY(outcome.result.walkBegan);
    QCOMPARE(skippedOperations(outcome.log),
        (QStringList { "Verzehr -:Data4 an die Datendatei binden:",
            "Verzehr -:Verzehrzeile anlegen: in Reservierungen 1" }));
    QCOMPARE(
        outcome.log.firstSkipped().last().value, QStringLiteral("Text \"Frühstück\", Betrag \"12,00\""));
    QCOMPARE(outcome.result.chargeLinesWritten, 0);
    // A reservation whose lines cannot be stored still gets its totals and its cleared fields.
    QCOMPARE(rows(files.target, importfixture::reservations, { "Re11", "Re12", "Erw17", "Re17" }),
        QStringList { "<null>|<null>|0|0" });
}

void ImportRunTest::walkSpansSeveralTransactions()
{
    constexpr int count = 5003;
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    {
        auto connection = openForWriting(files.target);
        tavik::store::Transaction transaction(*connection);
        for (int i = 1; i <= count; ++i)
            tavik::tools::insertRecord(*connection, importfixture::reservations,
                boardLine(QStringLiteral("Frühstück %1").arg(i), QStringLiteral("%1,00").arg(i)));
        transaction.commit();
    }

    const RunOutcome outcome = runOn(files, german);

    QCOMPARE(outcome.result.reservationsWalked, count);
    QCOMPARE(outcome.result.chargeLinesWritten, count);
    QVERIFY(outcome.log.skippedTotal() == 0);
    const QStringList lines = rows(files.target, charges, { "Ver2", "Ver5", "Ver6" });
    QCOMPARE(lines.size(), count);
    QCOMPARE(lines.last(), QStringLiteral("5003|5003,00|5003"));
    const QStringList totals = rows(files.target, importfixture::reservations, { "Re11", "Re12", "Re17" });
    QCOMPARE(totals.first(), QStringLiteral("<null>|<null>|1"));
    QCOMPARE(totals.last(), QStringLiteral("<null>|<null>|5003"));
}

void ImportRunTest::aReservationThatCannotBeReadKeepsItsPriceLines()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    QList<QVariantMap> lines;
    for (int i = 1; i <= 4; ++i)
        lines << boardLine(QStringLiteral("Frühstück %1").arg(i), QStringLiteral("%1,00").arg(10 * i));
    files.addReservations(lines);

    RunOutcome outcome;
    {
        tavik::store::Engine engine(german);
        tavik::store::DataControls controls(engine);
        // The run's record sources share this connection, and with it the interruption.
        const auto connection = engine.connect(files.target, {});
        // The walk reads reservations 1 and 2 together and 3 at the start of the next read.
        ReadInterruption interruption(connection->handle(), 3);
        outcome.result
            = tavik::import::runImport(controls, files.target, files.source, outcome.progress, outcome.log, german);
        QVERIFY(interruption.fired());
    }

    QCOMPARE(outcome.result.reservationsWalked, 4);
    QCOMPARE(outcome.result.chargeLinesWritten, 3);
    QVERIFY(outcome.result.stored);
    QCOMPARE(skippedOperations(outcome.log),
        QStringList { "Reservierungen 3:" + tavik::import::texts::readReservation + ":" });
    QCOMPARE(rows(files.target, importfixture::reservations, { "Re11", "Re12", "Erw17", "Re17" }),
        QStringList({ "<null>|<null>|10|10", "<null>|<null>|20|20", "Frühstück 3|30,00|19|<null>",
            "<null>|<null>|40|40" }));
    QCOMPARE(rows(files.target, charges, { "Ver6", "Z1", "Ver5" }),
        QStringList({ "1|Frühstück 1|10,00", "2|Frühstück 2|20,00", "4|Frühstück 4|40,00" }));
}

// A charge line whose store makes SQLite take the whole transaction back ends the walk, and
// nothing of it stays: not the reservation's other lines, not its cleared fields and totals,
// each of which would otherwise be committed alone.
void ImportRunTest::aTransactionTakenBackLeavesNoReservationHalfDone()
{
    QTemporaryDir dir;
    const HotelFiles files(dir.path());
    openForWriting(files.target)
        ->execute(QStringLiteral("CREATE TRIGGER give_up BEFORE INSERT ON \"Verzehr\" WHEN NEW.\"Z1\" = 'Sauna' "
                                 "BEGIN SELECT RAISE(ROLLBACK, 'Sauna gesperrt'); END"));
    files.addReservations({ boardLine("Pension", "28,00"),
        reservation({ { "Re11", "Frühstück" }, { "Erw17", "19" }, { "Re12", "12,00" }, { "Re13", "Sauna" },
            { "Erw18", "19" }, { "Re14", "6,00" }, { "Re15", "Massage" }, { "Erw19", "19" }, { "Re16", "30,00" } }),
        boardLine("Halbpension", "20,00") });
    const QStringList reservationsBefore = rows(files.target, importfixture::reservations);
    const QStringList linesBefore = rows(files.target, charges);

    const RunOutcome outcome = runOn(files, german);

    QVERIFY(!outcome.result.stored);
    QCOMPARE(outcome.result.chargeLinesWritten, 0);
    QCOMPARE(rows(files.target, importfixture::reservations), reservationsBefore);
    QCOMPARE(rows(files.target, charges), linesBefore);
}

QTEST_GUILESS_MAIN(ImportRunTest)
#include "ImportRunTest.moc"

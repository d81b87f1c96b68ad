#include "StoreFixture.h"
#include "tests/support/ReadInterruption.h"

#include "store/BoundField.h"
#include "store/Database.h"
#include "store/Engine.h"
#include "store/RecordSource.h"
#include "store/Transaction.h"

#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <malloc.h>
#include <optional>

using namespace tavik::store;

class RecordSourceTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;
    QString newFile(int guests = 3)
    {
        const QString file = dir_.filePath(QStringLiteral("guests%1.mdb").arg(++files_));
        fixture::makeFile(file, {}, guests);
        return file;
    }

private slots:
    void walksEveryRecordInNaturalOrder();
    void boundFieldWritesAreStoredAtTheNextMove();
    void emptyTextThroughABoundFieldClearsTheField();
    void valuesAssignedByFieldSurviveUnwrittenBoundFields();
    void addNewAppendsARecordWithItsAssignedValues();
    void refusedValuesLeaveTheRecordAsItWas_data();
    void refusedValuesLeaveTheRecordAsItWas();
    void numbersBecomeTextInTheUsersFormat_data();
    void numbersBecomeTextInTheUsersFormat();
    void sourcesOnOneFileShareTheConnection();
    void aSourceThatCannotOpenHasNoRecords();
    void writesInsideATransactionAreRolledBackWithoutCommit();
    void afterAddNewTheRecordBeforeIsCurrentAsStored_data();
    void afterAddNewTheRecordBeforeIsCurrentAsStored();
    void textsSurviveTheWayIntoTheFileAndBack_data();
    void textsSurviveTheWayIntoTheFileAndBack();
    void aTextTakenFromARecordKeepsItsValueAfterTheMove();
    void eachRecordStoresOnlyTheFieldsAssignedToIt();
    void walksRecordsAcrossGapsInTheKeysAndAppendedOnes();
    void walksEveryKeyWhereverItLies_data();
    void walksEveryKeyWhereverItLies();
    void aStaleIndexAddsNoRecords();
    void zeroLengthIsRefusedWhateverTheQuotingOfTheCheck_data();
    void zeroLengthIsRefusedWhateverTheQuotingOfTheCheck();
    void aWalkSeesRecordsChangedBehindItsBack_data();
    void aWalkSeesRecordsChangedBehindItsBack();
    void aWalkThatStoresEveryRecordReadsThemAllAsStored();
    void aRecordThatCouldNotBeReadKeepsWhatItHolds_data();
    void aRecordThatCouldNotBeReadKeepsWhatItHolds();
    void typedValuesAreCheckedAndStoredAsVariantsWere_data();
    void typedValuesAreCheckedAndStoredAsVariantsWere();
    void aWalkThatReadsSomeFieldsReadsTheOthersWhenAsked();
    void aLongTransactionKeepsNoStatementJournal();
    void aRefreshFindsTheRecordsOfItsMoment_data();
    void aRefreshFindsTheRecordsOfItsMoment();
    void queuedStoresRunInTheirOrderAndFailAlone();
    void storesQueuedAfterTheTransactionWasTakenBackAreDropped();
};

namespace {

void runSql(const QString& file, const QString& sql)
{
    auto connection = Connection::open(file, OpenOptions());
    connection->execute(sql);
}

// What SQLite itself holds, as hexadecimal UTF-8, so the check does not go through our decoding.
QString storedUtf8Hex(const QString& file, const QString& field, qint64 key)
{
    OpenOptions options;
    options.readOnly = true;
    auto connection = Connection::open(file, options);
    Statement select = connection->prepare(QStringLiteral("SELECT hex(%1) FROM \"Gaeste\" WHERE rowid = ?1").arg(quoteIdentifier(field)));
    select.bind(1, key);
    return select.step() ? select.text(0) : QStringLiteral("<none>");
}

// What the program has taken from the heap: SQLite's own count is not kept in this program.
qint64 heapInUse()
{
    const struct mallinfo2 heap = mallinfo2();
    return qint64(heap.uordblks + heap.hblkhd);
}

} // namespace

void RecordSourceTest::walksEveryRecordInNaturalOrder()
{
    const QString file = newFile(5);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    QCOMPARE(source.recordCount(), 5);
    QStringList names;
    for (source.moveFirst(); !source.eof(); source.moveNext())
        names << source.value(QStringLiteral("name")).toString();
    QCOMPARE(names, (QStringList{"Gast 1", "Gast 2", "Gast 3", "Gast 4", "Gast 5"}));
    QVERIFY_THROWS_EXCEPTION(EngineError, source.moveNext());
    QVERIFY_THROWS_EXCEPTION(EngineError, source.value(0));
}

void RecordSourceTest::boundFieldWritesAreStoredAtTheNextMove()
{
    const QString file = newFile();
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField note(QStringLiteral("Label16"), source, QStringLiteral("Notiz"));
    source.setDatabaseName(file);
    source.refresh();
    note.setText(QStringLiteral("Stammgast"));
    QCOMPARE(note.text(), QStringLiteral("Stammgast"));
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).first(), QStringLiteral("1|Gast 1|G1|<null>"));
    source.moveNext();
    QCOMPARE(note.text(), QString(""));
    note.setText(QStringLiteral("zweiter"));
    source.updateRecord();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")),
             (QStringList{"1|Gast 1|G1|Stammgast", "2|Gast 2|G2|zweiter", "3|Gast 3|G3|<null>"}));
}

void RecordSourceTest::emptyTextThroughABoundFieldClearsTheField()
{
    const QString file = newFile(1);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField name(QStringLiteral("lb_rg20(7)"), source, QStringLiteral("Name"));
    BoundField shortSign(QStringLiteral("lb_rg20(9)"), source, QStringLiteral("Kurz"));
    source.setDatabaseName(file);
    source.refresh();
    name.setText(QString());
    // The field forbids "" but a cleared field has no value at all, which it accepts.
    shortSign.setText(QString());
    source.moveNext();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), QStringList{"1|<null>|<null>|<null>"});
}

void RecordSourceTest::valuesAssignedByFieldSurviveUnwrittenBoundFields()
{
    const QString file = newFile(1);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField name(QStringLiteral("Label20"), source, QStringLiteral("Name"));
    source.setDatabaseName(file);
    source.refresh();
    QCOMPARE(name.text(), QStringLiteral("Gast 1"));
    source.setValue(QStringLiteral("Name"), QStringLiteral("Neuer Name"));
    QCOMPARE(name.text(), QStringLiteral("Neuer Name"));
    source.updateRecord();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), QStringList{"1|Neuer Name|G1|<null>"});
}

void RecordSourceTest::addNewAppendsARecordWithItsAssignedValues()
{
    const QString file = newFile(2);
    Engine engine(QLocale::c());
    RecordSource reader(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    RecordSource writer(engine, QStringLiteral("Data4"), QStringLiteral("Gaeste"));
    reader.setDatabaseName(file);
    writer.setDatabaseName(file);
    reader.refresh();
    writer.refresh();
    writer.addNew();
    writer.setValue(QStringLiteral("Name"), reader.value(QStringLiteral("Name")));
    writer.setValue(QStringLiteral("Kurz"), QStringLiteral("K"));
    writer.setValue(QStringLiteral("Notiz"), 7);
    QCOMPARE(writer.value(QStringLiteral("Notiz")).toString(), QStringLiteral("7"));
    writer.updateRecord();
    QCOMPARE(writer.recordCount(), 3);
    // The current record is the one before AddNew.
    QCOMPARE(writer.value(QStringLiteral("ID")).toLongLong(), 1);
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).last(), QStringLiteral("3|Gast 1|K|7"));
}

void RecordSourceTest::refusedValuesLeaveTheRecordAsItWas_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("kind");
    QTest::newRow("51 characters into a text of 50") << "Name" << QVariant(QString(51, 'x')) << int(EngineError::Kind::ValueTooLong);
    QTest::newRow("empty text where zero length is not allowed") << "Kurz" << QVariant(QStringLiteral("")) << int(EngineError::Kind::ZeroLengthNotAllowed);
    QTest::newRow("a number too long for its field") << "Kurz" << QVariant(123456.5) << int(EngineError::Kind::ValueTooLong);
    QTest::newRow("an ASCII text too long for its field")
        << "Kurz" << QVariant(QByteArray("123456,5")) << int(EngineError::Kind::ValueTooLong);
    QTest::newRow("an ASCII text for the autonumber")
        << "ID" << QVariant(QByteArray("99")) << int(EngineError::Kind::ReadOnlyField);
    QTest::newRow("the autonumber") << "ID" << QVariant(99) << int(EngineError::Kind::ReadOnlyField);
    QTest::newRow("a field the table lacks") << "Erw99" << QVariant(QStringLiteral("x")) << int(EngineError::Kind::NoSuchField);
}

void RecordSourceTest::refusedValuesLeaveTheRecordAsItWas()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(int, kind);
    const QString file = newFile(1);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    source.setValue(QStringLiteral("Notiz"), QStringLiteral("bleibt"));
    try {
        if (value.typeId() == QMetaType::QByteArray)
            source.setAsciiText(source.fieldIndex(field), value.toByteArray().toStdString());
        else
            source.setValue(field, value);
        QFAIL("the value must be refused");
    } catch (const EngineError& error) {
        QCOMPARE(int(error.kind()), kind);
        QCOMPARE(error.context().table, QStringLiteral("Gaeste"));
        QCOMPARE(error.context().field.toLower(), field.toLower());
        QCOMPARE(error.context().recordKey, std::optional<qint64>(1));
    }
    source.moveNext();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), QStringList{"1|Gast 1|G1|bleibt"});
}

void RecordSourceTest::numbersBecomeTextInTheUsersFormat_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("stored");
    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("German 12.5") << german << QVariant(12.5) << "12,5";
    QTest::newRow("C 12.5") << QLocale::c() << QVariant(12.5) << "12.5";
    QTest::newRow("German sum of 0.1 and 0.2") << german << QVariant(0.1 + 0.2) << "0,3";
    QTest::newRow("German whole float") << german << QVariant(19.0) << "19";
    QTest::newRow("whole number") << german << QVariant(qint64(42)) << "42";
    QTest::newRow("text stays as typed") << german << QVariant(QStringLiteral("19.00")) << "19.00";
}

void RecordSourceTest::numbersBecomeTextInTheUsersFormat()
{
    QFETCH(QLocale, locale);
    QFETCH(QVariant, value);
    QFETCH(QString, stored);
    const QString file = newFile(1);
    Engine engine(locale);
    RecordSource source(engine, QStringLiteral("Data4"), QStringLiteral("Gaeste"));
    BoundField note(QStringLiteral("Label18"), source, QStringLiteral("Notiz"));
    source.setDatabaseName(file);
    source.refresh();
    source.setValue(QStringLiteral("Notiz"), value);
    QCOMPARE(note.text(), stored);
    source.updateRecord();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).first().section('|', 3), stored);
}

void RecordSourceTest::sourcesOnOneFileShareTheConnection()
{
    const QString file = newFile(2);
    Engine engine(QLocale::c());
    RecordSource guests(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    guests.setDatabaseName(file);
    guests.refresh();
    guests.setValue(QStringLiteral("Notiz"), QStringLiteral("offen"));
    {
        // A schema change through a handle of its own while the source stands on a record.
        Database database = engine.openDatabase(file);
        TableDef table = database.tableDef(QStringLiteral("Gaeste"));
        FieldDef field = table.createField(QStringLiteral("memo13"), FieldType::Memo);
        field.allowZeroLength = true;
        table.append(field);
        database.close();
    }
    guests.moveNext();
    guests.refresh();
    QVERIFY(guests.findField(QStringLiteral("Memo13")) >= 0);
    QCOMPARE(&guests.connection(), engine.connect(file, {}).get());
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).first(), QStringLiteral("1|Gast 1|G1|offen|<null>"));
}

void RecordSourceTest::aSourceThatCannotOpenHasNoRecords()
{
    const QString file = newFile(1);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data2"), QStringLiteral("Einstellungen"));
    BoundField rate(QStringLiteral("Label14"), source, QStringLiteral("MwSt"));
    source.setDatabaseName(file);
    try {
        source.refresh();
        QFAIL("a missing table must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::NoSuchTable);
    }
    QVERIFY(!source.isOpen());
    QCOMPARE(rate.text(), QString(""));
    QVERIFY_THROWS_EXCEPTION(EngineError, source.eof());
    QVERIFY_THROWS_EXCEPTION(EngineError, rate.setText(QStringLiteral("19")));
}

void RecordSourceTest::writesInsideATransactionAreRolledBackWithoutCommit()
{
    const QString file = newFile(2);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    {
        Transaction transaction(source.connection());
        source.setValue(QStringLiteral("Name"), QStringLiteral("verworfen"));
        source.moveNext();
    }
    {
        Transaction transaction(source.connection());
        source.setValue(QStringLiteral("Name"), QStringLiteral("behalten"));
        source.moveNext();
        transaction.commit();
    }
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), (QStringList{"1|Gast 1|G1|<null>", "2|behalten|G2|<null>"}));
}

void RecordSourceTest::afterAddNewTheRecordBeforeIsCurrentAsStored_data()
{
    QTest::addColumn<int>("movesBeforeAdd");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("insertRefused");
    QTest::addColumn<QString>("currentName");
    QTest::addColumn<QString>("currentNote");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("on the first record, its pending note is stored first")
        << 0 << "Neu" << false << "Gast 1" << "vorher"
        << QStringList{"1|Gast 1|G1|vorher", "2|Gast 2|G2|<null>", "3|Neu|N|<null>"};
    QTest::newRow("on the last record") << 1 << "Neu" << false << "Gast 2" << "vorher"
        << QStringList{"1|Gast 1|G1|<null>", "2|Gast 2|G2|vorher", "3|Neu|N|<null>"};
    QTest::newRow("past the last record, the new record takes that place")
        << 2 << "Neu" << false << "Neu" << QString("")
        << QStringList{"1|Gast 1|G1|<null>", "2|Gast 2|G2|<null>", "3|Neu|N|<null>"};
    QTest::newRow("the file refuses the new record")
        << 0 << "verboten" << true << "Gast 1" << "vorher"
        << QStringList{"1|Gast 1|G1|vorher", "2|Gast 2|G2|<null>"};
}

void RecordSourceTest::afterAddNewTheRecordBeforeIsCurrentAsStored()
{
    QFETCH(int, movesBeforeAdd);
    QFETCH(QString, newName);
    QFETCH(bool, insertRefused);
    QFETCH(QString, currentName);
    QFETCH(QString, currentNote);
    QFETCH(QStringList, rows);
    const QString file = newFile(2);
    runSql(file, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON \"Gaeste\" WHEN NEW.\"Name\" = 'verboten' "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data4"), QStringLiteral("Gaeste"));
    BoundField name(QStringLiteral("Label1"), source, QStringLiteral("Name"));
    BoundField note(QStringLiteral("Label2"), source, QStringLiteral("Notiz"));
    source.setDatabaseName(file);
    source.refresh();
    for (int move = 0; move < movesBeforeAdd; ++move)
        source.moveNext();
    if (!source.eof())
        note.setText(QStringLiteral("vorher"));
    source.addNew();
    QCOMPARE(name.text(), QString(""));
    source.setValue(QStringLiteral("Name"), newName);
    source.setValue(QStringLiteral("Kurz"), QStringLiteral("N"));
    if (insertRefused)
        QVERIFY_THROWS_EXCEPTION(EngineError, source.updateRecord());
    else
        source.updateRecord();
    QCOMPARE(name.text(), currentName);
    QCOMPARE(note.text(), currentNote);
    QCOMPARE(source.recordCount(), qint64(rows.size()));
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), rows);
}

void RecordSourceTest::textsSurviveTheWayIntoTheFileAndBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain ASCII") << QStringLiteral("Doppelzimmer 12");
    QTest::newRow("umlauts and sharp s") << QStringLiteral("Frühstück, Größe, Maß");
    QTest::newRow("umlaut after ASCII") << QStringLiteral("Kurtaxe für 2 Nächte");
    QTest::newRow("euro sign") << QStringLiteral("89,00 €");
    QTest::newRow("outside the basic plane") << QString::fromUtf8("Zimmer \xF0\x9F\x9B\x8F 12");
    QTest::newRow("byte order mark at the start") << (QChar(0xFEFF) + QStringLiteral("Gast"));
    QTest::newRow("empty text") << QString("");
    QTest::newRow("fifty characters, all umlauts") << QString(50, QChar(u'ä'));
}

void RecordSourceTest::textsSurviveTheWayIntoTheFileAndBack()
{
    QFETCH(QString, text);
    const QString file = newFile(2);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField note(QStringLiteral("Label1"), source, QStringLiteral("Notiz"));
    source.setDatabaseName(file);
    source.refresh();
    source.setValue(QStringLiteral("Name"), text);
    source.setValue(QStringLiteral("Notiz"), text);
    source.moveNext();
    // The second record first fills the storage with a longer text, which the first must replace.
    source.setValue(QStringLiteral("Notiz"), QString(40, QChar(u'x')));
    source.updateRecord();
    QCOMPARE(storedUtf8Hex(file, QStringLiteral("Name"), 1), QString::fromLatin1(text.toUtf8().toHex().toUpper()));
    source.moveFirst();
    QCOMPARE(source.value(QStringLiteral("Name")), QVariant(text));
    QCOMPARE(note.text(), text);
    QVERIFY(!note.text().isNull());
}

void RecordSourceTest::aTextTakenFromARecordKeepsItsValueAfterTheMove()
{
    const QString file = newFile(3);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField name(QStringLiteral("Label1"), source, QStringLiteral("Name"));
    source.setDatabaseName(file);
    source.refresh();
    const QString first = name.text();
    const QVariant firstValue = source.value(QStringLiteral("Name"));
    source.moveNext();
    const QString second = name.text();
    source.moveNext();
    QCOMPARE(first, QStringLiteral("Gast 1"));
    QCOMPARE(firstValue.toString(), QStringLiteral("Gast 1"));
    QCOMPARE(second, QStringLiteral("Gast 2"));
    QCOMPARE(name.text(), QStringLiteral("Gast 3"));
}

void RecordSourceTest::eachRecordStoresOnlyTheFieldsAssignedToIt()
{
    const QString file = newFile(8);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    const int name = source.fieldIndex(QStringLiteral("Name"));
    const int note = source.fieldIndex(QStringLiteral("Notiz"));
    source.setValue(QStringLiteral("Notiz"), QStringLiteral("a"));
    source.moveNext();
    source.setValue(QStringLiteral("Name"), QStringLiteral("b"));
    source.moveNext();
    // Assigned in another order than the table's, and one field twice: the last value counts.
    source.setValue(QStringLiteral("Notiz"), QStringLiteral("c1"));
    source.setValue(QStringLiteral("Kurz"), QStringLiteral("K3"));
    source.setValue(QStringLiteral("Notiz"), QStringLiteral("c2"));
    source.moveNext();
    source.moveNext();
    source.setValue(QStringLiteral("Notiz"), QStringLiteral("e"));
    source.moveNext();
    // The same fields with their empty values the other way round, and a field emptied, then
    // given a text, and the other way round.
    source.setNull(name);
    source.setValue(note, QStringLiteral("f"));
    source.moveNext();
    source.setValue(name, QStringLiteral("g"));
    source.setNull(note);
    source.moveNext();
    source.setNull(note);
    source.setValue(note, QStringLiteral("h"));
    source.setValue(name, QStringLiteral("x"));
    source.setNull(name);
    source.moveNext();
    source.addNew();
    source.setNull(name);
    source.setValue(note, QStringLiteral("i"));
    source.updateRecord();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")),
        (QStringList { "1|Gast 1|G1|a", "2|b|G2|<null>", "3|Gast 3|K3|c2", "4|Gast 4|G4|<null>", "5|Gast 5|G5|e",
            "6|<null>|G6|f", "7|g|G7|<null>", "8|<null>|G8|h", "9|<null>|<null>|i" }));
}

void RecordSourceTest::walksRecordsAcrossGapsInTheKeysAndAppendedOnes()
{
    const QString file = newFile(7);
    runSql(file, QStringLiteral("DELETE FROM \"Gaeste\" WHERE \"ID\" IN (2, 3, 6)"));
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    for (const QString& name : {QStringLiteral("Neu 1"), QStringLiteral("Neu 2")}) {
        source.addNew();
        source.setValue(QStringLiteral("Name"), name);
        source.setValue(QStringLiteral("Kurz"), QStringLiteral("N"));
        source.updateRecord();
    }
    QCOMPARE(source.recordCount(), 6);
    for (int pass = 0; pass < 2; ++pass) {
        QStringList walked;
        for (source.moveFirst(); !source.eof(); source.moveNext())
            walked << QStringLiteral("%1:%2").arg(source.currentKey().value_or(-1)).arg(source.value(QStringLiteral("Name")).toString());
        QCOMPARE(walked, (QStringList{"1:Gast 1", "4:Gast 4", "5:Gast 5", "7:Gast 7", "8:Neu 1", "9:Neu 2"}));
    }
}

void RecordSourceTest::walksEveryKeyWhereverItLies_data()
{
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    QTest::addColumn<QStringList>("reshaping");
    QTest::addColumn<QList<qint64>>("keys");
    QTest::newRow("no gaps, far from one")
        << QStringList { QStringLiteral("UPDATE \"Gaeste\" SET \"ID\" = \"ID\" + 1000000") }
        << QList<qint64> { 1000001, 1000002, 1000003 };
    QTest::newRow("negative keys") << QStringList { QStringLiteral("UPDATE \"Gaeste\" SET \"ID\" = \"ID\" - 2") }
                                   << QList<qint64> { -1, 0, 1 };
    QTest::newRow("both ends of the key range")
        << QStringList { QStringLiteral("UPDATE \"Gaeste\" SET \"ID\" = %1 WHERE \"ID\" = 1").arg(lowest),
               QStringLiteral("UPDATE \"Gaeste\" SET \"ID\" = %1 WHERE \"ID\" = 3").arg(highest) }
        << QList<qint64> { lowest, 2, highest };
    QTest::newRow("the top of the key range")
        << QStringList { QStringLiteral("UPDATE \"Gaeste\" SET \"ID\" = \"ID\" + %1").arg(highest - 3) }
        << QList<qint64> { highest - 2, highest - 1, highest };
}

void RecordSourceTest::walksEveryKeyWhereverItLies()
{
    QFETCH(QStringList, reshaping);
    QFETCH(QList<qint64>, keys);
    const QString file = newFile(3);
    for (const QString& sql : reshaping)
        runSql(file, sql);
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    QCOMPARE(source.recordCount(), keys.size());
    QList<qint64> walked;
    QStringList names;
    for (source.moveFirst(); !source.eof(); source.moveNext()) {
        walked << source.currentKey().value_or(-1);
        names << source.value(QStringLiteral("Name")).toString();
    }
    QCOMPARE(walked, keys);
    QCOMPARE(names, (QStringList { "Gast 1", "Gast 2", "Gast 3" }));
}

// An index that no longer matches its table (which a copied file cannot have, but any other may): SQLite
// counts the table's records in it.
void RecordSourceTest::aStaleIndexAddsNoRecords()
{
    const QString file = newFile(3);
    runSql(file, QStringLiteral("CREATE INDEX \"Stale\" ON \"Gaeste\" (\"Name\")"));
    {
        auto connection = Connection::open(file, OpenOptions());
        connection->execute(
            QStringLiteral("CREATE TABLE \"Kept\" AS SELECT * FROM sqlite_master WHERE name = 'Stale'"));
        connection->execute(QStringLiteral("PRAGMA writable_schema = ON"));
        connection->execute(QStringLiteral("DELETE FROM sqlite_master WHERE name = 'Stale'"));
    }
    runSql(file, QStringLiteral("DELETE FROM \"Gaeste\" WHERE \"ID\" = 2"));
    {
        auto connection = Connection::open(file, OpenOptions());
        connection->execute(QStringLiteral("PRAGMA writable_schema = ON"));
        connection->execute(QStringLiteral("INSERT INTO sqlite_master SELECT * FROM \"Kept\""));
    }
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    QCOMPARE(source.recordCount(), 2);
    QList<qint64> walked;
    for (source.moveFirst(); !source.eof(); source.moveNext())
        walked << source.currentKey().value_or(-1);
    QCOMPARE(walked, (QList<qint64> { 1, 3 }));
}

void RecordSourceTest::zeroLengthIsRefusedWhateverTheQuotingOfTheCheck_data()
{
    QTest::addColumn<QString>("check");
    QTest::newRow("double quotes") << R"(CHECK("Kurz" <> ''))";
    QTest::newRow("brackets") << R"(CHECK([Kurz] <> ''))";
    QTest::newRow("backticks") << R"(CHECK(`Kurz` <> ''))";
    QTest::newRow("bare name without blanks") << R"(CHECK(Kurz<>''))";
    QTest::newRow("other case, blanks inside") << R"(check ( kurz  <>  '' ))";
}

void RecordSourceTest::zeroLengthIsRefusedWhateverTheQuotingOfTheCheck()
{
    QFETCH(QString, check);
    const QString file = dir_.filePath(QStringLiteral("check%1.mdb").arg(++files_));
    {
        OpenOptions options;
        options.create = true;
        auto connection = Connection::open(file, options);
        connection->execute(QStringLiteral("CREATE TABLE \"Gaeste\" (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                                           "\"Kurz\" VARCHAR(5) %1, \"Kurzname\" VARCHAR(5))").arg(check));
        connection->execute(QStringLiteral("INSERT INTO \"Gaeste\" (\"Kurz\") VALUES ('G1')"));
    }
    Engine engine(QLocale::c());
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    try {
        source.setValue(QStringLiteral("Kurz"), QStringLiteral(""));
        QFAIL("the empty text must be refused");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::ZeroLengthNotAllowed);
    }
    // A field whose name begins with the checked one is not checked.
    source.setValue(QStringLiteral("Kurzname"), QStringLiteral(""));
    source.updateRecord();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), QStringList{"1|G1|"});
}

namespace {
// How record 10 changes while a walk stands a few records before it.
enum class Change { OtherSource, StatementOnTheConnection, DeletedOnTheConnection, TakenBackToASavepoint, OtherProgram };
} // namespace

void RecordSourceTest::aWalkSeesRecordsChangedBehindItsBack_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("inTransaction");
    QTest::addColumn<QString>("tenth");
    QTest::newRow("changed through another record source") << int(Change::OtherSource) << true << "geändert";
    QTest::newRow("changed by a statement on the same connection") << int(Change::StatementOnTheConnection) << true << "geändert";
    QTest::newRow("deleted by a statement on the same connection") << int(Change::DeletedOnTheConnection) << true << "";
    QTest::newRow("changed, then taken back to a savepoint") << int(Change::TakenBackToASavepoint) << true << "Gast 10";
    QTest::newRow("changed by another program between two moves") << int(Change::OtherProgram) << false << "geändert";
}

void RecordSourceTest::aWalkSeesRecordsChangedBehindItsBack()
{
    QFETCH(int, change);
    QFETCH(bool, inTransaction);
    QFETCH(QString, tenth);
    const QString file = newFile(20);
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    walk.setDatabaseName(file);
    walk.refresh();
    std::optional<Transaction> transaction;
    if (inTransaction)
        transaction.emplace(walk.connection());
    // The walk stores every record it leaves, as the import does.
    auto moveTo = [&walk](qint64 key) {
        while (walk.currentKey() != key) {
            walk.setValue(QStringLiteral("Notiz"), QStringLiteral("gesehen"));
            walk.moveNext();
        }
    };
    const QString update = QStringLiteral("UPDATE \"Gaeste\" SET \"Name\" = 'geändert' WHERE \"ID\" = 10");
    std::optional<Transaction> takenBack;
    if (Change(change) == Change::TakenBackToASavepoint) {
        // Changed before the walk reads record 10 ahead, taken back after.
        moveTo(7);
        takenBack.emplace(walk.connection());
        walk.connection().prepare(update).run();
        moveTo(8);
        takenBack.reset();
    } else {
        moveTo(8);
    }
    switch (Change(change)) {
    case Change::OtherSource: {
        RecordSource other(engine, QStringLiteral("Data3"), QStringLiteral("Gaeste"));
        other.setDatabaseName(file);
        other.refresh();
        while (other.currentKey() != 10)
            other.moveNext();
        other.setValue(QStringLiteral("Name"), QStringLiteral("geändert"));
        other.updateRecord();
        break;
    }
    case Change::StatementOnTheConnection:
        walk.connection().prepare(update).run();
        break;
    case Change::DeletedOnTheConnection:
        walk.connection().prepare(QStringLiteral("DELETE FROM \"Gaeste\" WHERE \"ID\" = 10")).run();
        break;
    case Change::OtherProgram:
        runSql(file, update);
        break;
    case Change::TakenBackToASavepoint:
        break;
    }
    moveTo(10);
    QCOMPARE(walk.text(walk.fieldIndex(QStringLiteral("Name"))), tenth);
    walk.moveNext();
    QCOMPARE(walk.value(QStringLiteral("Name")).toString(), QStringLiteral("Gast 11"));
}

void RecordSourceTest::aWalkThatStoresEveryRecordReadsThemAllAsStored()
{
    const QString file = newFile(100);
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    RecordSource lines(engine, QStringLiteral("Data4"), QStringLiteral("Gaeste"));
    walk.setDatabaseName(file);
    lines.setDatabaseName(file);
    walk.refresh();
    lines.refresh();
    Transaction transaction(walk.connection());
    QStringList seen;
    // Each record is read, stored with a note, and a record of the same table is added behind
    // the walk's back, as the import does with its charge lines in another table.
    for (walk.moveFirst(); !walk.eof() && walk.currentKey() <= 100; walk.moveNext()) {
        seen << walk.value(QStringLiteral("Name")).toString();
        walk.setValue(QStringLiteral("Notiz"), QStringLiteral("gesehen"));
        if (walk.currentKey() == 50) {
            lines.addNew();
            lines.setValue(QStringLiteral("Name"), QStringLiteral("Neu"));
            lines.setValue(QStringLiteral("Kurz"), QStringLiteral("N"));
            lines.updateRecord();
        }
    }
    transaction.commit();
    QCOMPARE(seen.size(), 100);
    QCOMPARE(seen.first(), QStringLiteral("Gast 1"));
    QCOMPARE(seen.last(), QStringLiteral("Gast 100"));
    const QStringList rows = fixture::rows(file, QStringLiteral("Gaeste"));
    QCOMPARE(rows.size(), 101);
    QCOMPARE(rows.filter(QStringLiteral("|gesehen")).size(), 100);
    QCOMPARE(rows.last(), QStringLiteral("101|Neu|N|<null>"));
}

void RecordSourceTest::aRecordThatCouldNotBeReadKeepsWhatItHolds_data()
{
    QTest::addColumn<QStringList>("fieldsRead");
    QTest::newRow("every field read") << QStringList();
    QTest::newRow("a walk that reads one field") << QStringList { QStringLiteral("Kurz") };
}

// A read that fails for a moment leaves the record looking empty; storing totals or cleared
// fields into it would overwrite what the file holds.
void RecordSourceTest::aRecordThatCouldNotBeReadKeepsWhatItHolds()
{
    QFETCH(QStringList, fieldsRead);
    const QString file = newFile(3);
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    walk.setDatabaseName(file);
    walk.refresh();
    walk.readFields(fieldsRead);
    // Outside a transaction every record is read on its own, the second from key 2 on.
    walk.moveFirst();
    {
        ReadInterruption interruption(walk.connection().handle(), 2);
        QVERIFY_THROWS_EXCEPTION(EngineError, walk.moveNext());
        QVERIFY(interruption.fired());
    }
    QVERIFY(walk.currentRecordUnread());
    QCOMPARE(walk.currentKey(), std::optional<qint64>(2));
    QVERIFY(walk.isEmptyText(walk.fieldIndex(QStringLiteral("Name"))));
    for (const QVariant& value : { QVariant(QStringLiteral("überschrieben")), QVariant() }) {
        try {
            walk.setValue(QStringLiteral("Notiz"), value);
            QFAIL("the unread record took a value");
        } catch (const EngineError& error) {
            QCOMPARE(error.kind(), EngineError::Kind::RecordUnread);
        }
    }
    walk.moveNext();
    QVERIFY(!walk.currentRecordUnread());
    QCOMPARE(walk.value(QStringLiteral("Name")).toString(), QStringLiteral("Gast 3"));
    walk.setValue(QStringLiteral("Notiz"), QStringLiteral("gesehen"));
    walk.moveNext();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")),
        QStringList({ "1|Gast 1|G1|<null>", "2|Gast 2|G2|<null>", "3|Gast 3|G3|gesehen" }));
}

void RecordSourceTest::typedValuesAreCheckedAndStoredAsVariantsWere_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    const QVariant longNumber(qint64(1234567));
    QTest::newRow("a whole number") << "Notiz" << QVariant(qint64(-42));
    QTest::newRow("a whole number that fits") << "Kurz" << QVariant(qint64(12345));
    QTest::newRow("a whole number too long") << "Kurz" << longNumber;
    QTest::newRow("a float in the user's format") << "Notiz" << QVariant(0.1 + 0.2);
    QTest::newRow("a float too long") << "Kurz" << QVariant(1234.5);
    QTest::newRow("a text with umlauts") << "Name" << QVariant(QStringLiteral("Müller, Jörg"));
    QTest::newRow("a text too long by one umlaut") << "Name" << QVariant(QString(50, u'ä') + u'ö');
    QTest::newRow("the empty text") << "Name" << QVariant(QStringLiteral(""));
    QTest::newRow("the empty text where not allowed") << "Kurz" << QVariant(QStringLiteral(""));
    QTest::newRow("no value") << "Kurz" << QVariant();
}

// Walks assign texts and numbers without a variant; what the file gets and what is refused, with
// which message, must not differ from a variant holding the same value.
void RecordSourceTest::typedValuesAreCheckedAndStoredAsVariantsWere()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    const QString file = newFile(2);
    Engine engine(QLocale(QLocale::German, QLocale::Germany));
    RecordSource source(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    source.setDatabaseName(file);
    source.refresh();
    const int index = source.fieldIndex(field);
    auto outcome = [&](auto assign) {
        try {
            assign();
            return source.text(index);
        } catch (const EngineError& error) {
            return QStringLiteral("refused: %1 %2").arg(int(error.kind())).arg(error.sqliteMessage());
        }
    };
    const QString byVariant = outcome([&] { source.setValue(index, value); });
    source.moveNext();
    const QString typed = outcome([&] {
        switch (value.typeId()) {
        case QMetaType::LongLong:
            source.setNumber(index, value.toLongLong());
            break;
        case QMetaType::Double:
            source.setNumber(index, value.toDouble());
            break;
        case QMetaType::QString:
            source.setValue(index, value.toString());
            break;
        default:
            source.setNull(index);
        }
    });
    source.moveNext();
    QCOMPARE(typed, byVariant);
    const QStringList rows = fixture::rows(file, QStringLiteral("Gaeste"));
    if (!byVariant.startsWith(QStringLiteral("refused")))
        QCOMPARE(rows.at(1).section('|', index, index), rows.at(0).section('|', index, index));
}

void RecordSourceTest::aWalkThatReadsSomeFieldsReadsTheOthersWhenAsked()
{
    const QString file = newFile(40);
    runSql(file, QStringLiteral("UPDATE \"Gaeste\" SET \"Notiz\" = 'Notiz ' || \"ID\""));
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    BoundField note(QStringLiteral("Label1"), walk, QStringLiteral("Notiz"));
    walk.setDatabaseName(file);
    walk.refresh();
    walk.readFields({ QStringLiteral("Kurz"), QStringLiteral("Erw99") });
    Transaction transaction(walk.connection());
    walk.moveFirst();
    QStringList seen;
    while (!walk.eof()) {
        const qint64 key = *walk.currentKey();
        walk.setValue(QStringLiteral("Name"), QStringLiteral("Neu %1").arg(key));
        if (key % 10 == 0) {
            // Stored without a move: the record shows what it holds in the file now.
            walk.updateRecord();
            seen << walk.text(walk.fieldIndex(QStringLiteral("Name"))) + QLatin1Char('/') + note.text();
        } else if (key % 7 == 0) {
            seen << walk.value(QStringLiteral("Name")).toString() + QLatin1Char('/') + note.text();
        }
        walk.moveNext();
    }
    transaction.commit();
    QCOMPARE(seen, QStringList({ "Neu 7/Notiz 7", "Neu 10/Notiz 10", "Neu 14/Notiz 14", "Neu 20/Notiz 20",
                        "Neu 21/Notiz 21", "Neu 28/Notiz 28", "Neu 30/Notiz 30", "Neu 35/Notiz 35", "Neu 40/Notiz 40" }));
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).at(22), QStringLiteral("23|Neu 23|G23|Notiz 23"));
}

// Every update writes a page again that the transaction has journaled before, each inside a
// savepoint of its own as task 3 adds its fields. SQLite keeps such pages in a statement journal,
// in memory with this library's temp store; it must let them go as each savepoint ends, not hold
// them for the whole transaction.
void RecordSourceTest::aLongTransactionKeepsNoStatementJournal()
{
    const QString file = newFile(200);
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    walk.setDatabaseName(file);
    walk.refresh();
    const int note = walk.fieldIndex(QStringLiteral("Notiz"));
    Transaction transaction(walk.connection());
    walk.moveFirst();
    const qint64 before = heapInUse();
    for (int round = 0; round < 20; ++round) {
        walk.moveFirst();
        while (!walk.eof()) {
            Transaction field(walk.connection());
            walk.setValue(note, QStringLiteral("Runde %1").arg(round));
            walk.updateRecord();
            field.commit();
            walk.moveNext();
        }
    }
    const qint64 grown = heapInUse() - before;
    transaction.commit();
    QVERIFY2(grown < 512 * 1024, qPrintable(QStringLiteral("The heap grew by %1 bytes").arg(grown)));
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")).at(199), QStringLiteral("200|Gast 200|G200|Runde 19"));
}

void RecordSourceTest::aRefreshFindsTheRecordsOfItsMoment_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("byAnotherProgram");
    QTest::addColumn<QList<qint64>>("keys");
    const QString added = QStringLiteral("INSERT INTO \"Gaeste\" (\"ID\", \"Name\") VALUES (9, 'neu')");
    QTest::newRow("nothing changed") << QString() << false << QList<qint64> { 1, 2, 3 };
    QTest::newRow("a field of another table changed")
        << QStringLiteral("UPDATE \"Zimmer\" SET \"Nummer\" = 'x'") << false << QList<qint64> { 1, 2, 3 };
    QTest::newRow("added on the same connection") << added << false << QList<qint64> { 1, 2, 3, 9 };
    QTest::newRow("deleted on the same connection")
        << QStringLiteral("DELETE FROM \"Gaeste\" WHERE \"ID\" = 2") << false << QList<qint64> { 1, 3 };
    // SQLite empties the table at once and reports no row of it.
    QTest::newRow("emptied on the same connection")
        << QStringLiteral("DELETE FROM \"Gaeste\"") << false << QList<qint64> {};
    QTest::newRow("dropped and made anew on the same connection")
        << QStringLiteral("DROP TABLE \"Gaeste\"; CREATE TABLE \"Gaeste\" (\"ID\" INTEGER PRIMARY KEY, \"Name\" TEXT)")
        << false << QList<qint64> {};
    QTest::newRow("renamed away and another made in its place") << QStringLiteral(
        "ALTER TABLE \"Gaeste\" RENAME TO \"Alt\"; CREATE TABLE \"Gaeste\" (\"ID\" INTEGER PRIMARY KEY)")
                                                                << false << QList<qint64> {};
    QTest::newRow("added by another program") << added << true << QList<qint64> { 1, 2, 3, 9 };
}

// A refresh over a connection that stays open may take the keys it read before; it must never
// take them when the table has changed since.
void RecordSourceTest::aRefreshFindsTheRecordsOfItsMoment()
{
    QFETCH(QString, sql);
    QFETCH(bool, byAnotherProgram);
    QFETCH(QList<qint64>, keys);
    const QString file = newFile(3);
    runSql(file, QStringLiteral("CREATE TABLE \"Zimmer\" (\"Nummer\" TEXT)"));
    runSql(file, QStringLiteral("INSERT INTO \"Zimmer\" VALUES ('1')"));
    Engine engine(QLocale::c());
    RecordSource walk(engine, QStringLiteral("Data1"), QStringLiteral("Gaeste"));
    RecordSource other(engine, QStringLiteral("Data4"), QStringLiteral("Gaeste")); // keeps the connection open
    walk.setDatabaseName(file);
    other.setDatabaseName(file);
    walk.refresh();
    other.refresh();
    walk.refresh(); // once more, so the keys compared below may be the ones kept
    for (const QString& statement : sql.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
        if (byAnotherProgram)
            runSql(file, statement);
        else
            walk.connection().execute(statement);
    }
    walk.refresh();
    QList<qint64> seen;
    for (; !walk.eof(); walk.moveNext())
        seen << *walk.currentKey();
    QCOMPARE(seen, keys);
    QCOMPARE(walk.recordCount(), keys.size());
}

namespace {

// A walk's two sources on one file, one leaving records and one adding them, both queuing their
// stores. SQLite refuses to add the name given, with the RAISE action given.
struct QueuingSources {
    QueuingSources(const QString& file, const QString& refusedName, const QString& action)
    {
        runSql(file,
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON \"Gaeste\" WHEN NEW.\"Name\" = '%1' "
                           "BEGIN SELECT RAISE(%2, 'abgelehnt'); END")
                .arg(refusedName, action));
        for (RecordSource* source : { &guests, &added }) {
            source->setDatabaseName(file);
            source->refresh();
            source->deferStores(true);
        }
    }
    // Names the current guest and moves on, which queues that store.
    void rename(const QString& name)
    {
        guests.setValue(QStringLiteral("Name"), name);
        guests.moveNext();
    }
    void add(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            added.addNew();
            added.setValue(QStringLiteral("Name"), QString::fromUtf8(name));
            added.setValue(QStringLiteral("Kurz"), QStringLiteral("N"));
            added.updateRecord();
        }
    }
    void stopQueuing()
    {
        guests.deferStores(false);
        added.deferStores(false);
    }

    Engine engine { QLocale::c() };
    RecordSource guests { engine, QStringLiteral("Data1"), QStringLiteral("Gaeste") };
    RecordSource added { engine, QStringLiteral("Data2"), QStringLiteral("Gaeste") };
};

} // namespace

// A walk queues the store of every record it leaves and every record it adds: they land as if
// each had run when made, a refused one fails on its own and is named by its place in the queue,
// and whatever needs the file as stored (here a move back) runs the queue first.
void RecordSourceTest::queuedStoresRunInTheirOrderAndFailAlone()
{
    const QString file = newFile(3);
    QueuingSources walk(file, QStringLiteral("gesperrt"), QStringLiteral("ABORT"));
    Transaction transaction(walk.guests.connection());
    walk.rename(QStringLiteral("eins"));
    walk.rename(QStringLiteral("zwei"));
    walk.add({ "neu A", "gesperrt", "neu B" });
    QCOMPARE(walk.guests.queuedStores(), std::size_t(2));
    QCOMPARE(walk.added.queuedStores(), std::size_t(3));
    QCOMPARE(walk.added.recordCount(), 3);

    const std::vector<RecordSource::StoreFailure> failures = walk.added.runQueuedStores();
    QCOMPARE(failures.size(), std::size_t(1));
    QCOMPARE(failures.front().queued, std::size_t(1));
    QCOMPARE(walk.added.recordCount(), 5);
    walk.guests.moveFirst();
    QCOMPARE(walk.guests.queuedStores(), std::size_t(0));
    QCOMPARE(walk.guests.value(QStringLiteral("Name")).toString(), QStringLiteral("eins"));
    walk.stopQueuing();
    transaction.commit();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")),
        (QStringList {
            "1|eins|G1|<null>", "2|zwei|G2|<null>", "3|Gast 3|G3|<null>", "4|neu A|N|<null>", "5|neu B|N|<null>" }));
}

// Once SQLite has taken the transaction back, a store run after it would be committed alone:
// the rest of the queue, and the queue of another source on the same file, are dropped, and the
// file keeps nothing of the walk.
void RecordSourceTest::storesQueuedAfterTheTransactionWasTakenBackAreDropped()
{
    const QString file = newFile(1);
    QueuingSources walk(file, QStringLiteral("Abbruch"), QStringLiteral("ROLLBACK"));
    {
        Transaction transaction(walk.added.connection());
        walk.rename(QStringLiteral("geändert"));
        walk.add({ "vorher", "Abbruch", "danach" });
        const std::vector<RecordSource::StoreFailure> failures = walk.added.runQueuedStores();
        QCOMPARE(failures.size(), std::size_t(1));
        QCOMPARE(failures.front().queued, std::size_t(1));
        QVERIFY(!walk.added.connection().inTransaction());
        QVERIFY(walk.guests.runQueuedStores().empty());
        walk.stopQueuing();
    }
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), QStringList { "1|Gast 1|G1|<null>" });
}

QTEST_GUILESS_MAIN(RecordSourceTest)
#include "RecordSourceTest.moc"

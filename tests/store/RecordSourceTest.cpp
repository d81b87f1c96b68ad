#include "StoreFixture.h"

#include "store/BoundField.h"
#include "store/Database.h"
#include "store/Engine.h"
#include "store/RecordSource.h"
#include "store/Transaction.h"

#include <QTemporaryDir>
#include <QtTest>

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
};

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

QTEST_GUILESS_MAIN(RecordSourceTest)
#include "RecordSourceTest.moc"

#include "StoreFixture.h"

#include "store/Database.h"
#include "store/Engine.h"
#include "store/StoreTexts.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavik::store;

class DatabaseTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }
    Engine engine_{QLocale::c()};

private slots:
    void opensPlainAndKeyedFiles();
    void refusesWrongOrMissingPassword_data();
    void refusesWrongOrMissingPassword();
    void missingFileIsNotCreated();
    void fileLockedElsewhereFailsAtOpen();
    void exclusiveOpenOfAFileInUseFails();
    void appendsTextAndMemoFields();
    void appendingAnExistingNameChangesNothing_data();
    void appendingAnExistingNameChangesNothing();
    void missingTableIsAnError();
    void removingThePasswordKeepsEveryRecord();
    void passwordChangeNeedsTheOldPasswordAndExclusiveUse();
    void engineErrorNamesItsTableAndField();
    void everyTaskAndOperationHasANameOfItsOwn();
};

void DatabaseTest::opensPlainAndKeyedFiles()
{
    fixture::makeFile(path("plain.mdb"));
    fixture::makeFile(path("keyed.mdb"), QStringLiteral("quiret"));
    Database plain = engine_.openDatabase(path("plain.mdb"));
    QCOMPARE(plain.tableDef(QStringLiteral("Gaeste")).schema().fields().size(), 4);
    Database keyed = engine_.openDatabase(path("keyed.mdb"), true, false, QStringLiteral(";pwd=quiret"));
    QCOMPARE(keyed.tableDef(QStringLiteral("gaeste")).name(), QStringLiteral("gaeste"));
}

void DatabaseTest::refusesWrongOrMissingPassword_data()
{
    QTest::addColumn<QString>("filePassword");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<bool>("textFile");
    QTest::newRow("protected file opened without password") << "quiret" << "" << false;
    QTest::newRow("protected file opened with another password") << "quiret" << ";pwd=falsch" << false;
    QTest::newRow("plain file opened with a password") << "" << ";pwd=quiret" << false;
    QTest::newRow("text file with a data file's name") << "" << "" << true;
}

void DatabaseTest::refusesWrongOrMissingPassword()
{
    QFETCH(QString, filePassword);
    QFETCH(QString, connect);
    QFETCH(bool, textFile);
    const QString file = path(QStringLiteral("wrong_%1.mdb").arg(QTest::currentDataTag()).replace(' ', '_'));
    if (textFile) {
        QFile text(file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Dies ist keine Datendatei, sondern ein Brief an die Gäste.\n");
    } else {
        fixture::makeFile(file, filePassword);
    }
    const QByteArray before = fixture::bytesOf(file);
    try {
        engine_.openDatabase(file, false, false, connect);
        QFAIL("the open must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::NotADataFile);
        QVERIFY(germanMessage(error).contains(QStringLiteral("Kennwort geschützt oder ist keine Datendatei")));
        QCOMPARE(error.context().file, file);
    }
    QCOMPARE(fixture::bytesOf(file), before);
}

void DatabaseTest::missingFileIsNotCreated()
{
    try {
        engine_.openDatabase(path("fehlt.mdb"));
        QFAIL("the open must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::CannotOpen);
    }
    QVERIFY(!QFile::exists(path("fehlt.mdb")));
}

void DatabaseTest::fileLockedElsewhereFailsAtOpen()
{
    fixture::makeFile(path("locked.mdb"));
    // A second connection, as another program would hold it, keeps an exclusive lock.
    OpenOptions holder;
    holder.exclusive = true;
    auto other = Connection::open(path("locked.mdb"), holder);
    try {
        engine_.openDatabase(path("locked.mdb"));
        QFAIL("the open must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::Busy);
    }
}

void DatabaseTest::exclusiveOpenOfAFileInUseFails()
{
    fixture::makeFile(path("inuse.mdb"));
    Database shared = engine_.openDatabase(path("inuse.mdb"));
    QVERIFY_THROWS_EXCEPTION(EngineError, engine_.openDatabase(path("inuse.mdb"), true));
    shared.close();
    Database exclusive = engine_.openDatabase(path("inuse.mdb"), true);
    QVERIFY(exclusive.isOpen());
}

void DatabaseTest::appendsTextAndMemoFields()
{
    fixture::makeFile(path("append.mdb"));
    Database database = engine_.openDatabase(path("append.mdb"));
    TableDef table = database.tableDef(QStringLiteral("Gaeste"));
    FieldDef text = table.createField(QStringLiteral("Erw26"), FieldType::Text, 50);
    QVERIFY(!text.allowZeroLength);
    text.allowZeroLength = true;
    table.append(text);
    table.append(table.createField(QStringLiteral("memo11"), FieldType::Memo));
    const TableSchema schema = table.schema();
    const FieldInfo& erw26 = schema.field(schema.indexOf(QStringLiteral("erw26")));
    QCOMPARE(erw26.kind, FieldKind::Text);
    QCOMPARE(erw26.size, 50);
    QVERIFY(erw26.allowZeroLength);
    const FieldInfo& memo = schema.field(schema.indexOf(QStringLiteral("Memo11")));
    QCOMPARE(memo.kind, FieldKind::Memo);
    QVERIFY(!memo.allowZeroLength);
    database.close();
    QCOMPARE(fixture::rows(path("append.mdb"), QStringLiteral("Gaeste")).first(), QStringLiteral("1|Gast 1|G1|<null>|<null>|<null>"));
}

void DatabaseTest::appendingAnExistingNameChangesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("same case") << "Notiz";
    QTest::newRow("other case") << "NOTIZ";
    QTest::newRow("the key") << "id";
}

void DatabaseTest::appendingAnExistingNameChangesNothing()
{
    QFETCH(QString, name);
    const QString file = path(QStringLiteral("exists_%1.mdb").arg(name));
    fixture::makeFile(file);
    const QStringList before = fixture::rows(file, QStringLiteral("Gaeste"));
    Database database = engine_.openDatabase(file);
    TableDef table = database.tableDef(QStringLiteral("Gaeste"));
    try {
        table.append(table.createField(name, FieldType::Memo));
        QFAIL("the append must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::FieldExists);
        QCOMPARE(error.context().field, name);
    }
    QCOMPARE(table.schema().fields().size(), 4);
    database.close();
    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), before);
}

void DatabaseTest::missingTableIsAnError()
{
    fixture::makeFile(path("notable.mdb"));
    Database database = engine_.openDatabase(path("notable.mdb"));
    try {
        database.tableDef(QStringLiteral("Tabelle1"));
        QFAIL("a missing table must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::NoSuchTable);
        QCOMPARE(error.context().table, QStringLiteral("Tabelle1"));
    }
}

void DatabaseTest::removingThePasswordKeepsEveryRecord()
{
    const QString file = path("protected.mdb");
    fixture::makeFile(file, QStringLiteral("quiret"), 120);
    {
        OpenOptions keyed;
        keyed.password = QStringLiteral("quiret");
        auto connection = Connection::open(file, keyed);
        connection->execute(QStringLiteral("DELETE FROM \"Gaeste\" WHERE \"ID\" = 120"));
        connection->execute(QStringLiteral("PRAGMA user_version = 5"));
    }
    const QStringList before = fixture::rows(file, QStringLiteral("Gaeste"), {}, QStringLiteral("quiret"));
    Database database = engine_.openDatabase(file, true, false, QStringLiteral(";pwd=quiret"));
    database.newPassword(QStringLiteral("quiret"), QString());
    QVERIFY(database.tableDef(QStringLiteral("Gaeste")).schema().fields().size() == 4);
    database.close();

    QCOMPARE(fixture::rows(file, QStringLiteral("Gaeste")), before);
    QVERIFY(fixture::bytesOf(file).startsWith("SQLite format 3"));
    OpenOptions plain;
    auto connection = Connection::open(file, plain);
    Statement version = connection->prepare(QStringLiteral("PRAGMA user_version"));
    QVERIFY(version.step());
    QCOMPARE(version.integer(0), 5);
    // The autonumber goes on after the highest number ever given, as before.
    connection->execute(QStringLiteral("INSERT INTO \"Gaeste\" (\"Name\") VALUES ('neu')"));
    QCOMPARE(connection->lastInsertRowId(), 121);
    QCOMPARE(QDir(dir_.path()).entryList(QStringList{QStringLiteral(".protected*")}, QDir::Hidden | QDir::Files), QStringList());
}

void DatabaseTest::passwordChangeNeedsTheOldPasswordAndExclusiveUse()
{
    const QString file = path("guarded.mdb");
    fixture::makeFile(file, QStringLiteral("quiret"));
    const QByteArray before = fixture::bytesOf(file);
    {
        Database shared = engine_.openDatabase(file, false, false, QStringLiteral(";pwd=quiret"));
        QVERIFY_THROWS_EXCEPTION(EngineError, shared.newPassword(QStringLiteral("quiret"), QString()));
    }
    Database exclusive = engine_.openDatabase(file, true, false, QStringLiteral(";pwd=quiret"));
    try {
        exclusive.newPassword(QStringLiteral("falsch"), QString());
        QFAIL("a wrong old password must fail");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::WrongPassword);
    }
    exclusive.close();
    QCOMPARE(fixture::bytesOf(file), before);
}

void DatabaseTest::engineErrorNamesItsTableAndField()
{
    fixture::makeFile(path("named.mdb"));
    Database database = engine_.openDatabase(path("named.mdb"));
    TableDef table = database.tableDef(QStringLiteral("Gaeste"));
    try {
        table.append(table.createField(QStringLiteral("Kurz"), FieldType::Text, 5));
        QFAIL("the append must fail");
    } catch (const EngineError& error) {
        QVERIFY(error.details().contains(QStringLiteral("named.mdb")));
        QVERIFY(error.details().contains(QStringLiteral("Gaeste")));
        QVERIFY(error.details().contains(QStringLiteral("Kurz")));
        QCOMPARE(germanMessage(error), QStringLiteral("Das Feld \"Kurz\" ist in der Tabelle \"Gaeste\" bereits vorhanden."));
        QCOMPARE(germanOperation(error.context()), QStringLiteral("Feld anfügen"));
    }
}

// Two tasks or operations under one name could not be told apart in the log; two tasks under one id
// not in the report.
void DatabaseTest::everyTaskAndOperationHasANameOfItsOwn()
{
    QSet<QString> taskNames;
    QSet<QString> taskIds;
    for (int task = int(RunTask::SelectSource); task <= int(RunTask::Finish); ++task) {
        taskNames.insert(texts::taskName(RunTask(task)));
        taskIds.insert(QString::fromLatin1(taskId(RunTask(task))));
    }
    QSet<QString> operationNames;
    for (int operation = int(EngineOperation::Open); operation <= int(EngineOperation::UpdateRecord); ++operation)
        operationNames.insert(texts::operationName(EngineOperation(operation)));
    QCOMPARE(taskNames.size(), int(RunTask::Finish) + 1);
    QCOMPARE(taskIds.size(), int(RunTask::Finish) + 1);
    QCOMPARE(operationNames.size(), int(EngineOperation::UpdateRecord) + 1);
    QVERIFY(!taskNames.contains(QString()) && !taskIds.contains(QString()) && !operationNames.contains(QString()));
}

QTEST_GUILESS_MAIN(DatabaseTest)
#include "DatabaseTest.moc"

#include "PrepareFixture.h"

#include "prepare/SchemaExtension.h"
#include "store/DataControls.h"
#include "store/Database.h"
#include "store/Engine.h"
#include "store/RunLog.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavik::store;
using tavik::prepare::extendSchema;
using tavik::prepare::SchemaExtension;
namespace fixture = prepare_fixture;

namespace {

enum FileCase { Fresh, Memo15Present, Erw30Present, Tabelle1Missing, AlreadyExtended, HeldExclusively };

struct Series {
    QString table;
    QString prefix;
    int first;
    int last;
};
const Series allSeries[]
    = { { "Einstellungen", "memo", 11, 20 }, { "Tabelle1", "Erw", 26, 40 }, { "Tabelle2", "Erw", 16, 25 } };

QString makeFile(const QString& path, FileCase fileCase)
{
    fixture::olderFile(path, [fileCase](Connection& connection) {
        if (fileCase == Memo15Present) {
            connection.execute(
                R"(ALTER TABLE "Einstellungen" ADD COLUMN "memo15" VARCHAR(30) CHECK(length("memo15") <= 30))");
            connection.execute(R"(UPDATE "Einstellungen" SET "memo15" = 'alter Inhalt')");
        } else if (fileCase == Erw30Present) {
            connection.execute(R"(ALTER TABLE "Tabelle1" ADD COLUMN "Erw30" TEXT)");
            connection.execute(R"(UPDATE "Tabelle1" SET "Erw30" = 'alter Inhalt')");
        } else if (fileCase == Tabelle1Missing) {
            connection.execute(R"(DROP TABLE "Tabelle1")");
        }
    });
    if (fileCase == AlreadyExtended) {
        Engine engine(QLocale::c());
        RunLog log;
        extendSchema(engine, path, log);
    }
    return path;
}

} // namespace

class SchemaExtensionTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;
    QString newPath() { return dir_.filePath(QStringLiteral("tavik_50_%1.mdb").arg(++files_)); }

private slots:
    void addsEachMissingFieldOnce_data();
    void addsEachMissingFieldOnce();
    void newFieldsTakeTheEmptyTextAndAtMostFiftyCharacters_data();
    void newFieldsTakeTheEmptyTextAndAtMostFiftyCharacters();
    void neueFelder3StopsAtItsFirstErrorAndLetsTheFileGo();
    void sharesTheFileWithTheOpenRecordSources();
};

void SchemaExtensionTest::addsEachMissingFieldOnce_data()
{
    QTest::addColumn<int>("fileCase");
    QTest::addColumn<int>("toEinstellungen");
    QTest::addColumn<int>("toTabelle1");
    QTest::addColumn<int>("toTabelle2");
    QTest::addColumn<QStringList>("absent");
    QTest::addColumn<int>("skipped");
    QStringList erw31to40;
    for (int number = 31; number <= 40; ++number)
        erw31to40 << QStringLiteral("Tabelle1.Erw%1").arg(number);
    QStringList all;
    for (const Series& series : allSeries)
        for (int number = series.first; number <= series.last; ++number)
            all << QStringLiteral("%1.%2%3").arg(series.table, series.prefix).arg(number);
    // Skipped: each existing memo, and per abandoned method its error and the fields it never reached.
    QTest::newRow("fresh file gets all 35 fields") << int(Fresh) << 10 << 15 << 10 << QStringList() << 0;
    QTest::newRow("memo15 present: kept, the nine others are added")
        << int(Memo15Present) << 9 << 15 << 10 << QStringList() << 1;
    QTest::newRow("Erw30 present: kept, Tabelle1 stops there, Tabelle2 still extended")
        << int(Erw30Present) << 10 << 4 << 10 << erw31to40 << 2;
    QTest::newRow("Tabelle1 missing: the other tables are extended")
        << int(Tabelle1Missing) << 10 << 0 << 10 << QStringList() << 2;
    QTest::newRow("a second run adds nothing") << int(AlreadyExtended) << 0 << 0 << 0 << QStringList() << 14;
    QTest::newRow("file held exclusively by another connection")
        << int(HeldExclusively) << 0 << 0 << 0 << all << 6;
}

void SchemaExtensionTest::addsEachMissingFieldOnce()
{
    QFETCH(int, fileCase);
    QFETCH(int, toEinstellungen);
    QFETCH(int, toTabelle1);
    QFETCH(int, toTabelle2);
    QFETCH(QStringList, absent);
    QFETCH(int, skipped);
    const QString file = makeFile(newPath(), FileCase(fileCase));
    const QByteArray before = fixture::bytesOf(file);
    std::unique_ptr<Connection> holder;
    if (fileCase == HeldExclusively) {
        OpenOptions exclusive;
        exclusive.exclusive = true;
        holder = Connection::open(file, exclusive);
    }

    Engine engine(QLocale::c());
    RunLog log;
    const SchemaExtension added = extendSchema(engine, file, log);
    holder.reset();

    QCOMPARE(added.addedToEinstellungen, toEinstellungen);
    QCOMPARE(added.addedToTabelle1, toTabelle1);
    QCOMPARE(added.addedToTabelle2, toTabelle2);
    QCOMPARE(int(log.skippedTotal()), skipped);
    if (fileCase == AlreadyExtended || fileCase == HeldExclusively)
        QCOMPARE(fixture::bytesOf(file), before);
    for (const Series& series : allSeries) {
        if (!fixture::hasTable(file, series.table))
            continue;
        const TableSchema schema = fixture::schemaOf(file, series.table);
        for (int number = series.first; number <= series.last; ++number) {
            const QString name = series.prefix + QString::number(number);
            const int index = schema.indexOf(name);
            QVERIFY2((index >= 0) != absent.contains(series.table + '.' + name), qPrintable(name));
            if (index < 0)
                continue;
            const FieldInfo& field = schema.field(index);
            const FieldKind newKind = series.prefix == "memo" ? FieldKind::Memo : FieldKind::Text;
            // The fields that were there before were made of another kind, with a value of their own.
            if ((fileCase == Memo15Present && name == "memo15")
                || (fileCase == Erw30Present && name == "Erw30")) {
                QVERIFY(field.kind != newKind);
                QCOMPARE(fixture::valueOf(file, series.table, name, 1), QStringLiteral("alter Inhalt"));
                continue;
            }
            QCOMPARE(field.name, name);
            QCOMPARE(field.kind, newKind);
            QCOMPARE(field.size, newKind == FieldKind::Memo ? 0 : 50);
            QVERIFY(field.allowZeroLength);
        }
    }
}

void SchemaExtensionTest::newFieldsTakeTheEmptyTextAndAtMostFiftyCharacters_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Tabelle1.Erw26 takes 50 characters") << "Tabelle1"
                                                        << "Erw26" << QString(50, 'x') << true;
    QTest::newRow("Tabelle1.Erw40 refuses 51 characters") << "Tabelle1"
                                                          << "Erw40" << QString(51, 'x') << false;
    QTest::newRow("Tabelle2.Erw16 takes the empty text") << "Tabelle2"
                                                         << "Erw16" << QStringLiteral("") << true;
    QTest::newRow("Tabelle2.Erw25 refuses 51 characters") << "Tabelle2"
                                                          << "Erw25" << QString(51, 'x') << false;
    QTest::newRow("memo11 takes the empty text") << "Einstellungen"
                                                 << "memo11" << QStringLiteral("") << true;
    QTest::newRow("memo20 takes 5000 characters") << "Einstellungen"
                                                  << "Memo20" << QString(5000, 'x') << true;
}

void SchemaExtensionTest::newFieldsTakeTheEmptyTextAndAtMostFiftyCharacters()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, stored);
    const QString file = makeFile(newPath(), Fresh);
    Engine engine(QLocale::c());
    RunLog log;
    extendSchema(engine, file, log);
    {
        // Plain SQL, so that the file's own rules are checked and not the engine's checks before them.
        const auto connection = Connection::open(file, OpenOptions {});
        auto update = connection->prepare(QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE ID = 1")
                                              .arg(quoteIdentifier(table), quoteIdentifier(field)));
        update.bind(1, value);
        bool refused = false;
        try {
            update.run();
        } catch (const EngineError&) {
            refused = true;
        }
        QCOMPARE(refused, !stored);
    }
    QCOMPARE(fixture::valueOf(file, table, field, 1), stored ? value : QStringLiteral("<null>"));
}

void SchemaExtensionTest::neueFelder3StopsAtItsFirstErrorAndLetsTheFileGo()
{
    const QString file = makeFile(newPath(), Erw30Present);
    Engine engine(QLocale::c());
    int added = 0;
    try {
        tavik::prepare::neue_Felder3(engine, file, added);
        QFAIL("neue_Felder3 went on past an existing field");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::FieldExists);
        QCOMPARE(error.context().field, QStringLiteral("Erw30"));
    }
    QCOMPARE(added, 4);
    // Only a file that nothing in this program holds any more can be opened exclusively.
    Database exclusive = engine.openDatabase(file, true);
    exclusive.close();
}

void SchemaExtensionTest::sharesTheFileWithTheOpenRecordSources()
{
    const QString file = newPath();
    tavik::tools::SampleOptions sample;
    sample.reservations = 3;
    tavik::tools::writeOlderEditionFile(file, sample);
    Engine engine(QLocale::c());
    DataControls controls(engine);
    for (RecordSource* source : { &controls.reservations, &controls.articles, &controls.chargeLines }) {
        source->setDatabaseName(file);
        source->refresh();
    }
    RunLog log;
    QCOMPARE(extendSchema(engine, file, log).total(), 35);
    QCOMPARE(int(log.skippedTotal()), 0);

    // The record sources go on writing after the change, and the new memo takes the imported mark.
    controls.reservationFields.grandTotal.setText(QStringLiteral("100,00"));
    controls.reservations.moveNext();
    controls.settings.setDatabaseName(file);
    controls.settings.refresh();
    controls.settingsFields.importedMark.setText(QStringLiteral("importiert"));
    controls.settings.updateRecord();
    QCOMPARE(fixture::valueOf(file, QStringLiteral("Reservierungen"), QStringLiteral("Re17"), 1),
        QStringLiteral("100,00"));
    QCOMPARE(fixture::valueOf(file, QStringLiteral("Einstellungen"), QStringLiteral("memo13"), 1),
        QStringLiteral("importiert"));
}

QTEST_GUILESS_MAIN(SchemaExtensionTest)
#include "SchemaExtensionTest.moc"

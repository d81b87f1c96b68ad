#include "PrepareFixture.h"

#include "prepare/FoodAndDrinkVat.h"
#include "prepare/SchemaExtension.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "store/StoreTexts.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavik::store;
namespace fixture = prepare_fixture;
namespace prepare = tavik::prepare;

// A target that another tool has damaged: no settings table, one of the newer fields already in
// Tabelle2, and articles without their rate field. Both steps run to their end, and what they
// could not do is in the log, in German, with the table, the field and the article's key.
class DamagedFileTest : public QObject {
    Q_OBJECT

private slots:
    void skippedOperationsShowInTheLog();
};

void DamagedFileTest::skippedOperationsShowInTheLog()
{
    QTemporaryDir dir;
    const QString file
        = fixture::olderFile(dir.filePath(QStringLiteral("tavik_50.mdb")), [](Connection& connection) {
              connection.execute(R"(DROP TABLE "Einstellungen")");
              connection.execute(
                  R"(ALTER TABLE "Tabelle2" ADD COLUMN "Erw20" VARCHAR(50) CHECK(length("Erw20") <= 50))");
              connection.execute(R"(DROP TABLE "Artikel")");
              connection.execute(
                  R"(CREATE TABLE "Artikel" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "Art1" VARCHAR(50)))");
              connection.execute(R"(INSERT INTO "Artikel" ("Art1") VALUES ('101'), ('102'))");
          });
    Engine engine(QLocale::c());
    DataControls controls(engine);
    RunLog log;

    const prepare::SchemaExtension added = prepare::extendSchema(engine, file, log);
    prepare::bindArticles(controls, file);
    QCOMPARE(prepare::applyFoodAndDrinkVat(controls, QStringLiteral("7"), log), 0);

    QCOMPARE(added.addedToEinstellungen, 0);
    QCOMPARE(added.addedToTabelle1, 15);
    QCOMPARE(added.addedToTabelle2, 4);
    QVERIFY(controls.articles.eof());
    QStringList entries;
    for (const SkippedOperation& skipped : log.firstSkipped()) {
        entries << QStringLiteral("%1|%2|%3|%4|%5|%6")
                       .arg(tavik::store::texts::taskName(skipped.task), skipped.operation, skipped.table,
                           skipped.recordKey ? QString::number(*skipped.recordKey) : "-", skipped.field, skipped.value);
        QVERIFY(!RunLog::describe(skipped).isEmpty());
    }
    QCOMPARE(entries,
        (QStringList {
            "3. Datenfelder zufügen|Tabellendefinition lesen|Einstellungen|-||",
            "3. Datenfelder zufügen|Felder nicht zugefügt|Einstellungen|-|memo11 bis memo20|",
            "3. Datenfelder zufügen|Feld anfügen|Tabelle2|-|Erw20|",
            "3. Datenfelder zufügen|Felder nicht zugefügt|Tabelle2|-|Erw20 bis Erw25|",
            "MwSt. für Speisen und Getränke|Data3: Feld suchen|Artikel|1|Art7|7",
            "MwSt. für Speisen und Getränke|Data3: Feld suchen|Artikel|2|Art7|7",
        }));
}

QTEST_GUILESS_MAIN(DamagedFileTest)
#include "DamagedFileTest.moc"

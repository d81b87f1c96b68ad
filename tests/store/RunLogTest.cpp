#include "store/RunLog.h"

#include <QtTest>

using namespace tavik::store;

// The log line of a skipped operation is what a user searches the log for: every part in its
// place, the rare ones (owner record, SQLite's code) included.
class RunLogTest : public QObject {
    Q_OBJECT

private slots:
    void aLogLineNamesEveryPartInItsPlace_data();
    void aLogLineNamesEveryPartInItsPlace();
};

void RunLogTest::aLogLineNamesEveryPartInItsPlace_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<QString>("line");
    QTest::newRow("reason only") << 0 << QStringLiteral("4. Daten importieren – keine Zahl");
    QTest::newRow("record, field and value with a line break")
        << 1
        << QStringLiteral("4. Daten importieren – Steuersatz lesen – Tabelle Reservierungen – Datensatz 7 – "
                          "Feld Erw17 – Wert \"19\\n%\" – keine Zahl");
    QTest::newRow("charge line of a reservation, SQLite's code")
        << 2
        << QStringLiteral("4. Daten importieren – Zeile speichern – Tabelle Verzehr – gehört zu Tabelle "
                          "Reservierungen, Datensatz 12 – Wert \"\" – Datei voll (SQLite-Code 13)");
    QTest::newRow("long value shortened")
        << 3
        << QStringLiteral("4. Daten importieren – Wert \"%1… (250 Zeichen)\" – zu lang")
               .arg(QString(200, QLatin1Char('x')));
    // A reason can quote a path or a value; its "%1" is text, not a place for the next number.
    QTest::newRow("placeholders in the texts")
        << 4
        << QStringLiteral(
               "4. Daten importieren – gehört zu Tabelle T%1, Datensatz 5 – D:\\%1\\%2 voll (SQLite-Code 13)");
}

void RunLogTest::aLogLineNamesEveryPartInItsPlace()
{
    QFETCH(int, shape);
    QFETCH(QString, line);
    SkippedOperation operation { RunTask::Import, {}, {}, std::nullopt, {}, {}, QStringLiteral("keine Zahl") };
    if (shape == 1) {
        operation.operation = QStringLiteral("Steuersatz lesen");
        operation.table = QStringLiteral("Reservierungen");
        operation.recordKey = 7;
        operation.field = QStringLiteral("Erw17");
        operation.value = QStringLiteral("19\n%");
    } else if (shape == 2) {
        operation.operation = QStringLiteral("Zeile speichern");
        operation.table = QStringLiteral("Verzehr");
        operation.ownerTable = QStringLiteral("Reservierungen");
        operation.ownerKey = 12;
        operation.value = QStringLiteral("");
        operation.reason = QStringLiteral("Datei voll");
        operation.sqliteCode = 13;
    } else if (shape == 3) {
        operation.value = QString(250, QLatin1Char('x'));
        operation.reason = QStringLiteral("zu lang");
    } else if (shape == 4) {
        operation.ownerTable = QStringLiteral("T%1");
        operation.ownerKey = 5;
        operation.reason = QStringLiteral("D:\\%1\\%2 voll");
        operation.sqliteCode = 13;
    }
    QCOMPARE(RunLog::describe(operation), line);
}

QTEST_GUILESS_MAIN(RunLogTest)
#include "RunLogTest.moc"

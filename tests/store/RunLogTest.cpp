#include "store/RunLog.h"

#include <QtTest>

#include <string>

using namespace tavik::store;

// The log line of a skipped operation is what a user searches the log for: every part in its
// place, the rare ones (owner record, SQLite's code) included.
class RunLogTest : public QObject {
    Q_OBJECT

private slots:
    void aLogLineNamesEveryPartInItsPlace_data();
    void aLogLineNamesEveryPartInItsPlace();
    void theLogFileGetsTheBytesOfTheTerminalsLine_data();
    void theLogFileGetsTheBytesOfTheTerminalsLine();
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
    }
    QCOMPARE(RunLog::describe(operation), line);
    std::string bytes = "vorher ";
    RunLog::appendDescription(bytes, operation);
    QCOMPARE(QByteArray::fromStdString(bytes), "vorher " + line.toUtf8());
}

// The log file's lines are built in UTF-8 beside describe(), which the terminal keeps: both must
// give the same bytes whatever a data file holds.
void RunLogTest::theLogFileGetsTheBytesOfTheTerminalsLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("control characters")
        << QStringView::fromArray(u"a\u0000b\u0001\t\r\n\u001b[2J\u007f\u0085\u009f").toString();
    QTest::newRow("separators and direction marks")
        << QStringView::fromArray(u"x\u2028y\u2029\u202a\u202e\u2066\u2069z\u200f").toString();
    QTest::newRow("umlauts, euro, emoji") << QStringLiteral("Grüße – 12,50 € 🍷 ß");
    QTest::newRow("surrogates without their partner") << QString(QChar(0xdc00)) + QStringLiteral("x") + QChar(0xd83c);
    QTest::newRow("emoji cut in half by the shortening") << QString(199, u'x') + QStringLiteral("🍷🍷");
    QTest::newRow("long value with a line break") << QString(300, u'\n');
    QTest::newRow("placeholders in the text") << QStringLiteral("%1 %2 %L1 %%");
    QTest::newRow("empty") << QStringLiteral("");
    QTest::newRow("none") << QString();
}

void RunLogTest::theLogFileGetsTheBytesOfTheTerminalsLine()
{
    QFETCH(QString, text);
    const QString orEmpty = text.isNull() ? QStringLiteral("") : text;
    SkippedOperation full { RunTask::FoodAndDrinkVat, orEmpty, orEmpty, -9007199254740993, orEmpty, text, orEmpty };
    full.ownerTable = QStringLiteral("Reservierungen ") + orEmpty;
    full.ownerKey = 42;
    full.sqliteCode = 2067;
    SkippedOperation ownerWithoutKey { RunTask::Import, {}, {}, std::nullopt, {}, text, QStringLiteral("keine Zahl") };
    ownerWithoutKey.ownerTable = orEmpty + QStringLiteral("%1");
    const SkippedOperation bare { RunTask::Copy, {}, {}, std::nullopt, {}, {}, orEmpty };
    std::string bytes;
    for (const SkippedOperation& operation : { full, ownerWithoutKey, bare }) {
        bytes.clear();
        RunLog::appendDescription(bytes, operation);
        QCOMPARE(QByteArray::fromStdString(bytes), RunLog::describe(operation).toUtf8());
    }
}

QTEST_GUILESS_MAIN(RunLogTest)
#include "RunLogTest.moc"

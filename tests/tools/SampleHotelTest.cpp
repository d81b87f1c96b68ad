#include "tools/SampleHotel.h"
#include "store/Connection.h"
#include "store/EngineError.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <QtMath>

#include <algorithm>
#include <memory>
#include <optional>

using tavik::store::Connection;
using tavik::store::EngineError;
using tavik::store::OpenOptions;
using tavik::store::quoteIdentifier;
using tavik::tools::SampleOptions;

namespace {

const QStringList tableNames
    = { QStringLiteral("Reservierungen"), QStringLiteral("Einstellungen"), QStringLiteral("Artikel"),
          QStringLiteral("Verzehr"), QStringLiteral("Tabelle1"), QStringLiteral("Tabelle2") };

QStringList numbered(const QString& prefix, int first, int last)
{
    QStringList names;
    for (int number = first; number <= last; ++number)
        names << prefix + QString::number(number);
    return names;
}

SampleOptions sample(int reservations, quint64 seed = 2003, const QString& password = {})
{
    SampleOptions options;
    options.reservations = reservations;
    options.seed = seed;
    options.password = password;
    return options;
}

std::unique_ptr<Connection> openFile(const QString& path, const QString& password = {})
{
    OpenOptions options;
    options.password = password;
    return Connection::open(path, options);
}

struct Column {
    QString name;
    QString type;
    bool isKey = false;
};

// In the table's order.
QList<Column> columnsOf(Connection& connection, const QString& table)
{
    auto info = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)));
    QList<Column> columns;
    while (info.step())
        columns << Column { info.text(1), info.text(2), info.integer(5) != 0 };
    return columns;
}

qint64 countOf(Connection& connection, const QString& sql)
{
    auto statement = connection.prepare(sql);
    statement.step();
    return statement.integer(0);
}

// Every table's records with their SQLite types, so that NULL and '' differ.
QStringList contentsOf(Connection& connection)
{
    QStringList lines;
    for (const QString& table : tableNames) {
        auto select
            = connection.prepare(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(quoteIdentifier(table)));
        while (select.step()) {
            QStringList values { table };
            for (int column = 0; column < select.columnCount(); ++column) {
                const QVariant value = select.value(column);
                values << (value.isValid() ? QString::fromLatin1(value.typeName()) + u':' + value.toString()
                                           : QStringLiteral("NULL"));
            }
            lines << values.join(u'|');
        }
    }
    return lines;
}

// Amounts as users typed them: comma or point, empty and NULL count as zero.
std::optional<qint64> centsOf(const QVariant& value)
{
    QString typed = value.toString();
    if (typed.isEmpty())
        return 0;
    typed.replace(u',', u'.');
    bool valid = false;
    const double amount = typed.toDouble(&valid);
    return valid ? std::optional<qint64>(qRound64(amount * 100)) : std::nullopt;
}

// Each price line's amount field with its rate field; the tourist tax has no rate.
const QList<QPair<QString, QString>> priceFields = { { QStringLiteral("Re10"), QStringLiteral("Erw16") },
    { QStringLiteral("Re12"), QStringLiteral("Erw17") }, { QStringLiteral("Re14"), QStringLiteral("Erw18") },
    { QStringLiteral("Re16"), QStringLiteral("Erw19") }, { QStringLiteral("Re22"), QStringLiteral("Erw20") },
    { QStringLiteral("Re24"), QStringLiteral("Erw21") }, { QStringLiteral("Spare2"), QString() } };

// How many price fields of the reservations differ between the two files, and how many a line of
// the first file has. Fails the test on any other difference, or on a changed value that reads as
// a number in either format the sample types.
bool sameValue(const QVariant& first, const QVariant& second)
{
    return first.isValid() == second.isValid() && (!first.isValid() || first == second);
}

bool readsAsNumber(const QString& text)
{
    bool german = false;
    bool plain = false;
    QLocale(QLocale::German, QLocale::Germany).toDouble(text, &german);
    QLocale::c().toDouble(text, &plain);
    return german || plain;
}

QPair<int, int> priceFieldChanges(Connection& plain, Connection& odd)
{
    const QString sql = QStringLiteral("SELECT * FROM Reservierungen ORDER BY ID");
    auto before = plain.prepare(sql);
    auto after = odd.prepare(sql);
    int changed = 0;
    int lineFields = 0;
    while (before.step()) {
        if (!after.step())
            return { -1, -1 };
        QHash<QString, int> columns;
        for (int column = 0; column < before.columnCount(); ++column) {
            columns.insert(before.columnName(column), column);
            if (sameValue(before.value(column), after.value(column)))
                continue;
            const QString field = before.columnName(column);
            const bool priceField = std::any_of(priceFields.cbegin(), priceFields.cend(),
                [&field](const auto& line) { return line.first == field || line.second == field; });
            if (!priceField || readsAsNumber(after.value(column).toString()))
                return { -1, -1 };
            ++changed;
        }
        for (const auto& [amount, rate] : priceFields) {
            if (!before.value(columns.value(amount)).isNull())
                lineFields += rate.isEmpty() ? 1 : 2;
        }
    }
    return { changed, lineFields };
}

QString toolPath()
{
    const QString folder = qEnvironmentVariable("TAVIK_TOOLS_DIR");
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/tavik-sample");
}

} // namespace

class SampleHotelTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void fieldDeclarations_data();
    void fieldDeclarations();
    void fieldOrder_data();
    void fieldOrder();

    void contentsFollowTheSeed_data();
    void contentsFollowTheSeed();
    void passwordProtectsTheOlderFile_data();
    void passwordProtectsTheOlderFile();
    void summaryMatchesTheFile_data();
    void summaryMatchesTheFile();
    void newerFileIsEmptyAndPlain();
    void replacesAnExistingFile();

    void oddValuesOccur_data();
    void oddValuesOccur();
    void amountsAndDatesAddUp();
    void oddPricesChangeOnlyTheirShare_data();
    void oddPricesChangeOnlyTheirShare();

    void insertRecordWritesNullEmptyAndText();

    void commandWritesBothFiles();
    void commandRejectsBadInput_data();
    void commandRejectsBadInput();

private:
    QString pathFor(const QString& name) const { return folder_.filePath(name); }

    QTemporaryDir folder_;
    QString richFile_;
};

void SampleHotelTest::initTestCase()
{
    QVERIFY(folder_.isValid());
    // Large enough that even the rarest odd value (2.5 nights, about 1 in 100) occurs.
    richFile_ = pathFor(QStringLiteral("rich.mdb"));
    tavik::tools::writeOlderEditionFile(richFile_, sample(1000));
}

void SampleHotelTest::fieldDeclarations_data()
{
    QTest::addColumn<bool>("newer");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("declaredType");
    QTest::addColumn<int>("size");

    const auto row
        = [](const char* name, bool newer, const char* table, const char* field, const char* type, int size) {
              QTest::newRow(name) << newer << QString::fromLatin1(table) << QString::fromLatin1(field)
                                  << QString::fromLatin1(type) << size;
          };
    row("older reservation key", false, "Reservierungen", "ID", "INTEGER", 0);
    row("older guest name", false, "Reservierungen", "Re1", "VARCHAR(50)", 50);
    row("older last spare field", false, "Reservierungen", "Spare5", "VARCHAR(50)", 50);
    row("older memo", false, "Einstellungen", "Memo10", "TEXT", 0);
    row("older article rate", false, "Artikel", "Art7", "VARCHAR(50)", 50);
    row("older charge origin mark", false, "Verzehr", "Ver10", "VARCHAR(50)", 50);
    row("older charge line text 255", false, "Verzehr", "Z1", "VARCHAR(255)", 255);
    row("older Tabelle1 last field", false, "Tabelle1", "Erw25", "VARCHAR(50)", 50);
    row("older Tabelle2 last field", false, "Tabelle2", "Erw15", "VARCHAR(50)", 50);
    row("newer last added memo", true, "Einstellungen", "memo20", "TEXT", 0);
    row("newer Tabelle1 added field", true, "Tabelle1", "Erw40", "VARCHAR(50)", 50);
    row("newer Tabelle2 added field", true, "Tabelle2", "Erw16", "VARCHAR(50)", 50);
    row("newer reservation key", true, "Reservierungen", "ID", "INTEGER", 0);
}

void SampleHotelTest::fieldDeclarations()
{
    QFETCH(bool, newer);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QString, declaredType);
    QFETCH(int, size);

    const QString path = pathFor(QStringLiteral("declarations.mdb"));
    if (newer)
        tavik::tools::writeNewerEditionFile(path);
    else
        tavik::tools::writeOlderEditionFile(path, sample(0));
    auto connection = openFile(path);
    const QList<Column> columns = columnsOf(*connection, table);
    const auto found = std::find_if(
        columns.cbegin(), columns.cend(), [&](const Column& column) { return column.name == field; });
    QVERIFY2(found != columns.cend(), qPrintable(field));
    const Column declared = *found;
    QCOMPARE(declared.type, declaredType);
    const bool isKey = field == QLatin1String("ID");
    QCOMPARE(declared.isKey, isKey);

    const auto insert = [&](const QVariant& value) {
        return tavik::tools::insertRecord(*connection, table, { { field, value } });
    };
    if (isKey) {
        // An autonumber never hands out a key again, even after the last record was deleted.
        insert(QVariant());
        const qint64 second = insert(QVariant());
        connection->execute(
            QStringLiteral("DELETE FROM %1 WHERE ID = %2").arg(quoteIdentifier(table)).arg(second));
        QCOMPARE(insert(QVariant()), second + 1);
        return;
    }
    const qint64 emptyId = insert(QStringLiteral(""));
    QCOMPARE(countOf(*connection,
                 QStringLiteral("SELECT count(*) FROM %1 WHERE ID = %2 AND %3 = ''")
                     .arg(quoteIdentifier(table))
                     .arg(emptyId)
                     .arg(quoteIdentifier(field))),
        1);
    // Umlauts count as one character each, as the application counts them.
    const int fitting = size > 0 ? size : 100000;
    insert(QString(fitting, u'ä'));
    if (size > 0) {
        QVERIFY_THROWS_EXCEPTION(EngineError, insert(QString(size + 1, u'a')));
    }
}

void SampleHotelTest::fieldOrder_data()
{
    QTest::addColumn<bool>("newer");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");

    const QStringList key { QStringLiteral("ID") };
    const QStringList reservations = key + numbered(QStringLiteral("Re"), 1, 24)
        + numbered(QStringLiteral("Erw"), 1, 25) + numbered(QStringLiteral("Opt"), 1, 5)
        + numbered(QStringLiteral("Spare"), 1, 5);
    const QStringList settings = key + QStringList { QStringLiteral("Hotelname"), QStringLiteral("MwSt") }
        + numbered(QStringLiteral("Zusatz"), 1, 10) + numbered(QStringLiteral("Memo"), 1, 10);
    const QStringList articles = key + numbered(QStringLiteral("Art"), 1, 10);
    const QStringList charges
        = key + numbered(QStringLiteral("Ver"), 1, 10) + QStringList { QStringLiteral("Z1") };
    const QStringList firstHelper = key + numbered(QStringLiteral("Erw"), 1, 25);
    const QStringList secondHelper = key + numbered(QStringLiteral("Erw"), 1, 15);

    for (const bool newer : { false, true }) {
        const char* edition = newer ? "newer" : "older";
        const auto row = [&](const char* table, const QStringList& fields) {
            QTest::addRow("%s %s", edition, table) << newer << QString::fromLatin1(table) << fields;
        };
        row("Reservierungen", reservations);
        row("Artikel", articles);
        row("Verzehr", charges);
        row("Einstellungen", newer ? settings + numbered(QStringLiteral("memo"), 11, 20) : settings);
        row("Tabelle1", newer ? firstHelper + numbered(QStringLiteral("Erw"), 26, 40) : firstHelper);
        row("Tabelle2", newer ? secondHelper + numbered(QStringLiteral("Erw"), 16, 25) : secondHelper);
    }
}

void SampleHotelTest::fieldOrder()
{
    QFETCH(bool, newer);
    QFETCH(QString, table);
    QFETCH(QStringList, fields);

    const QString path = pathFor(QStringLiteral("order.mdb"));
    if (newer)
        tavik::tools::writeNewerEditionFile(path);
    else
        tavik::tools::writeOlderEditionFile(path, sample(0));
    auto connection = openFile(path);
    QStringList actual;
    for (const Column& column : columnsOf(*connection, table))
        actual << column.name;
    QCOMPARE(actual, fields);

    auto tables = connection->prepare(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'sqlite_sequence'"));
    QStringList actualTables;
    while (tables.step())
        actualTables << tables.text(0);
    QCOMPARE(QSet<QString>(actualTables.cbegin(), actualTables.cend()),
        QSet<QString>(tableNames.cbegin(), tableNames.cend()));
}

void SampleHotelTest::contentsFollowTheSeed_data()
{
    QTest::addColumn<quint64>("otherSeed");
    QTest::addColumn<QString>("otherPassword");
    QTest::addColumn<bool>("same");

    QTest::newRow("same seed again") << quint64(11) << QString() << true;
    QTest::newRow("same seed, protected file") << quint64(11) << QStringLiteral("quiret") << true;
    QTest::newRow("other seed") << quint64(12) << QString() << false;
}

void SampleHotelTest::contentsFollowTheSeed()
{
    QFETCH(quint64, otherSeed);
    QFETCH(QString, otherPassword);
    QFETCH(bool, same);

    const QString first = pathFor(QStringLiteral("seed-first.mdb"));
    const QString second = pathFor(QStringLiteral("seed-second.mdb"));
    tavik::tools::writeOlderEditionFile(first, sample(300, 11));
    tavik::tools::writeOlderEditionFile(second, sample(300, otherSeed, otherPassword));

    const QStringList firstContents = contentsOf(*openFile(first));
    const QStringList secondContents = contentsOf(*openFile(second, otherPassword));
    QVERIFY(firstContents.size() > 300);
    QCOMPARE(firstContents == secondContents, same);
}

void SampleHotelTest::passwordProtectsTheOlderFile_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("opens");

    QTest::newRow("without the key") << QString() << false;
    QTest::newRow("with a wrong key") << QStringLiteral("quiet") << false;
    QTest::newRow("with the key") << QStringLiteral("quiret") << true;
}

void SampleHotelTest::passwordProtectsTheOlderFile()
{
    QFETCH(QString, password);
    QFETCH(bool, opens);

    const QString path = pathFor(QStringLiteral("protected.mdb"));
    if (!QFile::exists(path))
        tavik::tools::writeOlderEditionFile(path, sample(20, 2003, QStringLiteral("quiret")));

    QFile raw(path);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(!raw.read(16).startsWith("SQLite format 3"));

    if (!opens) {
        try {
            openFile(path, password);
            QFAIL("the protected file opened without its key");
        } catch (const EngineError& error) {
            QCOMPARE(error.kind(), EngineError::Kind::NotADataFile);
        }
        return;
    }
    auto connection = openFile(path, password);
    QCOMPARE(countOf(*connection, QStringLiteral("SELECT count(*) FROM Reservierungen")), 20);
}

void SampleHotelTest::summaryMatchesTheFile_data()
{
    QTest::addColumn<int>("reservations");

    QTest::newRow("no reservations") << 0;
    QTest::newRow("one reservation") << 1;
    QTest::newRow("usual size") << 250;
}

void SampleHotelTest::summaryMatchesTheFile()
{
    QFETCH(int, reservations);

    const QString path = pathFor(QStringLiteral("summary.mdb"));
    const auto summary = tavik::tools::writeOlderEditionFile(path, sample(reservations));
    auto connection = openFile(path);
    const auto count = [&](const char* sql) { return countOf(*connection, QString::fromLatin1(sql)); };

    QCOMPARE(summary.reservations, reservations);
    QCOMPARE(count("SELECT count(*) FROM Reservierungen"), reservations);
    QCOMPARE(count("SELECT count(*) FROM Artikel"), summary.articles);
    QVERIFY(summary.articles >= 35);
    QCOMPARE(
        count("SELECT count(*) FROM Artikel WHERE Art7 IS NULL OR Art7 = ''"), summary.articlesWithoutRate);
    QVERIFY(summary.articlesWithoutRate > 0);
    QCOMPARE(count("SELECT count(*) FROM Verzehr"), summary.chargeLines);
    QCOMPARE(summary.chargeLines > 0, reservations > 0);
    QCOMPARE(count("SELECT count(*) FROM Verzehr WHERE CAST(Ver6 AS INTEGER) NOT IN (SELECT ID FROM "
                   "Reservierungen)"),
        0);
    QCOMPARE(
        count("SELECT count(*) FROM Einstellungen WHERE MwSt = '19' AND Zusatz10 = '7' AND Hotelname <> ''"),
        1);
    QCOMPARE(count("SELECT count(*) FROM Einstellungen"), 1);
    QVERIFY(count("SELECT count(*) FROM Tabelle1") > 0);
    QVERIFY(count("SELECT count(*) FROM Tabelle2") > 0);
}

void SampleHotelTest::newerFileIsEmptyAndPlain()
{
    const QString path = pathFor(QStringLiteral("newer.mdb"));
    tavik::tools::writeNewerEditionFile(path);

    QFile raw(path);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(raw.read(16).startsWith("SQLite format 3"));
    auto connection = openFile(path);
    for (const QString& table : tableNames)
        QCOMPARE(
            countOf(*connection, QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(table))), 0);
}

void SampleHotelTest::replacesAnExistingFile()
{
    const QString path = pathFor(QStringLiteral("replaced.mdb"));
    tavik::tools::writeOlderEditionFile(path, sample(5, 2003, QStringLiteral("quiret")));
    QFile journal(path + QStringLiteral("-journal"));
    QVERIFY(journal.open(QIODevice::WriteOnly));
    journal.write("left behind by a crash");
    journal.close();

    tavik::tools::writeOlderEditionFile(path, sample(7));
    QVERIFY(!journal.exists());
    QCOMPARE(countOf(*openFile(path), QStringLiteral("SELECT count(*) FROM Reservierungen")), 7);

    tavik::tools::writeNewerEditionFile(path);
    QCOMPARE(countOf(*openFile(path), QStringLiteral("SELECT count(*) FROM Reservierungen")), 0);
}

void SampleHotelTest::oddValuesOccur_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("condition");

    const char* amounts = "(Re9, Re10, Re12, Re14, Re16, Re22, Re24, Re17, Spare2)";
    const auto row = [](const char* name, const char* table, const QString& condition) {
        QTest::newRow(name) << QString::fromLatin1(table) << condition;
    };
    row("amount with a decimal point", "Reservierungen",
        QStringLiteral("Re9 LIKE '%_.__' OR Re10 LIKE '%_.__'"));
    row("zero typed as 0,00", "Reservierungen", QStringLiteral("'0,00' IN %1").arg(QLatin1String(amounts)));
    row("zero typed as 0.00", "Reservierungen", QStringLiteral("'0.00' IN %1").arg(QLatin1String(amounts)));
    row("zero typed as 0", "Reservierungen", QStringLiteral("'0' IN %1").arg(QLatin1String(amounts)));
    row("empty room rate", "Reservierungen", QStringLiteral("Erw16 = ''"));
    row("room rate NULL", "Reservierungen", QStringLiteral("Erw16 IS NULL"));
    row("rate typed as 7,0", "Reservierungen", QStringLiteral("Erw16 = '7,0'"));
    row("amount without its line text", "Reservierungen",
        QStringLiteral("(Re13 IS NULL OR Re13 = '') AND Re14 <> ''"));
    row("line text NULL beside an amount", "Reservierungen",
        QStringLiteral("Re13 IS NULL AND Re14 IS NOT NULL"));
    row("board rate empty", "Reservierungen", QStringLiteral("Re11 <> '' AND Erw17 = ''"));
    row("fourth extra line", "Reservierungen", QStringLiteral("Re23 <> '' AND Re24 <> ''"));
    row("nights 2.5", "Reservierungen", QStringLiteral("Re6 = '2.5'"));
    row("room quantity empty", "Reservierungen", QStringLiteral("Erw12 = ''"));
    row("room quantity NULL", "Reservierungen", QStringLiteral("Erw12 IS NULL"));
    row("two rooms", "Reservierungen", QStringLiteral("Erw12 = '2'"));
    row("room offer empty", "Reservierungen", QStringLiteral("Opt1 = ''"));
    row("room offer NULL", "Reservierungen", QStringLiteral("Opt1 IS NULL"));
    row("employee sign empty", "Reservierungen", QStringLiteral("Erw14 = ''"));
    row("no board", "Reservierungen", QStringLiteral("Re11 IS NULL"));
    row("tourist tax", "Reservierungen", QStringLiteral("Spare1 = 'Kurtaxe' AND Spare2 <> ''"));
    row("article rate empty", "Artikel", QStringLiteral("Art7 = ''"));
    row("article rate NULL", "Artikel", QStringLiteral("Art7 IS NULL"));
}

void SampleHotelTest::oddValuesOccur()
{
    QFETCH(QString, table);
    QFETCH(QString, condition);

    auto connection = openFile(richFile_);
    QVERIFY(countOf(*connection,
                QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(quoteIdentifier(table), condition))
        > 0);
}

void SampleHotelTest::amountsAndDatesAddUp()
{
    auto connection = openFile(richFile_);
    auto select = connection->prepare(QStringLiteral("SELECT ID, Re2, Re3, Re6, Re9, Re10, Re17, Re12, Re14, "
                                                     "Re16, Re22, Re24, Spare2 FROM Reservierungen"));
    int checked = 0;
    while (select.step()) {
        const QString record = QStringLiteral("reservation %1").arg(select.integer(0));
        const QDate arrival = QDate::fromString(select.text(1), QStringLiteral("dd.MM.yyyy"));
        const QDate departure = QDate::fromString(select.text(2), QStringLiteral("dd.MM.yyyy"));
        const double nights = select.text(3).toDouble();
        QVERIFY2(arrival.isValid() && departure.isValid() && nights > 0, qPrintable(record));
        QVERIFY2(arrival.daysTo(departure) == qCeil(nights), qPrintable(record));

        const auto price = centsOf(select.value(4));
        const auto room = centsOf(select.value(5));
        const auto total = centsOf(select.value(6));
        QVERIFY2(price && room && total, qPrintable(record));
        QVERIFY2(*room == qRound64(*price * nights), qPrintable(record));
        qint64 sum = *room;
        for (int column = 7; column < select.columnCount(); ++column) {
            const auto line = centsOf(select.value(column));
            QVERIFY2(line, qPrintable(record));
            sum += *line;
        }
        QVERIFY2(*total == sum, qPrintable(record));
        ++checked;
    }
    QCOMPARE(checked, 1000);
}

void SampleHotelTest::oddPricesChangeOnlyTheirShare_data()
{
    QTest::addColumn<int>("percent");

    QTest::newRow("share 0 is the plain sample") << 0;
    QTest::newRow("share 13") << 13;
    QTest::newRow("share 100") << 100;
}

// The benchmark compares runs on these files with runs on the plain sample's numbers, so the odd
// values must be the only difference, each must fail to read as a number, and the share must hold.
void SampleHotelTest::oddPricesChangeOnlyTheirShare()
{
    QFETCH(int, percent);

    const QString plain = pathFor(QStringLiteral("odd-plain.mdb"));
    const QString odd = pathFor(QStringLiteral("odd-share.mdb"));
    tavik::tools::writeOlderEditionFile(plain, sample(2000, 17));
    SampleOptions options = sample(2000, 17);
    options.oddPricePercent = percent;
    const tavik::tools::SampleSummary summary = tavik::tools::writeOlderEditionFile(odd, options);

    const auto plainFile = openFile(plain);
    const auto oddFile = openFile(odd);
    const auto [changed, lineFields] = priceFieldChanges(*plainFile, *oddFile);
    QVERIFY2(changed >= 0, "a field other than a price line's amount or rate changed, or to a number");
    QCOMPARE(changed, summary.oddPriceValues);
    QVERIFY2(qAbs(100.0 * changed / lineFields - percent) < 1.5,
        qPrintable(QStringLiteral("%1 of %2 price fields changed").arg(changed).arg(lineFields)));
    const auto others = [](QStringList lines) {
        lines.removeIf(
            [](const QString& line) { return line.startsWith(QStringLiteral("Reservierungen|")); });
        return lines;
    };
    QCOMPARE(others(contentsOf(*oddFile)), others(contentsOf(*plainFile)));
}

void SampleHotelTest::insertRecordWritesNullEmptyAndText()
{
    const QString path = pathFor(QStringLiteral("records.mdb"));
    QFile::remove(path);
    OpenOptions options;
    options.create = true;
    auto connection = Connection::open(path, options);
    tavik::tools::createNewerEditionTables(*connection);

    const QString longest(255, u'ü');
    QCOMPARE(tavik::tools::insertRecord(*connection, QStringLiteral("Verzehr"),
                 { { QStringLiteral("Ver1"), QStringLiteral("") }, { QStringLiteral("Ver2"), QVariant() },
                     { QStringLiteral("Z1"), longest } }),
        1);
    QCOMPARE(tavik::tools::insertRecord(*connection, QStringLiteral("Verzehr"), {}), 2);
    QCOMPARE(tavik::tools::insertRecord(*connection, QStringLiteral("Einstellungen"),
                 { { QStringLiteral("memo11"), QStringLiteral("Zeile 1\r\nZeile 2") } }),
        1);

    auto check = connection->prepare(
        QStringLiteral("SELECT typeof(Ver1), Ver1, typeof(Ver2), Z1 FROM Verzehr WHERE ID = 1"));
    QVERIFY(check.step());
    QCOMPARE(check.text(0), QStringLiteral("text"));
    QCOMPARE(check.text(1), QString());
    QCOMPARE(check.text(2), QStringLiteral("null"));
    QCOMPARE(check.text(3), longest);
    QCOMPARE(countOf(*connection,
                 QStringLiteral("SELECT count(*) FROM Einstellungen WHERE memo11 LIKE 'Zeile 1%'")),
        1);

    try {
        tavik::tools::insertRecord(
            *connection, QStringLiteral("Verzehr"), { { QStringLiteral("Z1"), longest + u'x' } });
        QFAIL("a text longer than its field was written");
    } catch (const EngineError& error) {
        QCOMPARE(error.kind(), EngineError::Kind::Constraint);
        QCOMPARE(error.context().table, QStringLiteral("Verzehr"));
    }
}

void SampleHotelTest::commandWritesBothFiles()
{
    if (toolPath().isEmpty())
        QSKIP("TAVIK_TOOLS_DIR is not set; run the test through ctest");
    const QString target = pathFor(QStringLiteral("command/new/folder"));
    QProcess command;
    command.start(toolPath(),
        { QStringLiteral("--reservations"), QStringLiteral("30"), QStringLiteral("--seed"),
            QStringLiteral("5"), QStringLiteral("--password"), QStringLiteral("quiret"), target });
    QVERIFY(command.waitForFinished(60000));
    const QString output = QString::fromUtf8(command.readAllStandardOutput());
    QCOMPARE(command.exitCode(), 0);
    QVERIFY2(output.contains(QStringLiteral("30 Reservierungen")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("mit Kennwort geschützt")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("tavik_50.mdb")), qPrintable(output));

    const QString older = target + QStringLiteral("/tavik_20.mdb");
    QCOMPARE(countOf(*openFile(older, QStringLiteral("quiret")),
                 QStringLiteral("SELECT count(*) FROM Reservierungen")),
        30);
    QVERIFY_THROWS_EXCEPTION(EngineError, openFile(older));
    QCOMPARE(countOf(*openFile(target + QStringLiteral("/tavik_50.mdb")),
                 QStringLiteral("SELECT count(*) FROM Artikel")),
        0);

    const QString sameSeed = pathFor(QStringLiteral("command-seed.mdb"));
    tavik::tools::writeOlderEditionFile(sameSeed, sample(30, 5));
    QCOMPARE(contentsOf(*openFile(older, QStringLiteral("quiret"))), contentsOf(*openFile(sameSeed)));
}

void SampleHotelTest::commandRejectsBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");

    const QString folder = QStringLiteral("unused");
    QTest::newRow("negative count") << QStringList { QStringLiteral("--reservations"), QStringLiteral("-3"),
        folder } << 1 << QStringLiteral("Anzahl der Reservierungen");
    QTest::newRow("seed not a number") << QStringList { QStringLiteral("--seed"), QStringLiteral("x1"),
        folder } << 1 << QStringLiteral("Startwert");
    QTest::newRow("no folder") << QStringList {} << 1 << QStringLiteral("Zielordner");
    QTest::newRow("odd share above 100")
        << QStringList { QStringLiteral("--odd-prices"), QStringLiteral("101"), folder } << 1
        << QStringLiteral("Anteil der Preise ohne Zahl");
    QTest::newRow("help in German") << QStringList { QStringLiteral("--help") } << 0
                                    << QStringLiteral("Kennwort, mit dem");
}

void SampleHotelTest::commandRejectsBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);

    if (toolPath().isEmpty())
        QSKIP("TAVIK_TOOLS_DIR is not set; run the test through ctest");
    QProcess command;
    command.setWorkingDirectory(folder_.path());
    command.start(toolPath(), arguments);
    QVERIFY(command.waitForFinished(60000));
    const QString said = QString::fromUtf8(command.readAllStandardOutput() + command.readAllStandardError());
    QCOMPARE(command.exitCode(), exitCode);
    QVERIFY2(said.contains(expected), qPrintable(said));
    QVERIFY(!QFile::exists(folder_.filePath(QStringLiteral("unused/tavik_20.mdb"))));
}

QTEST_GUILESS_MAIN(SampleHotelTest)
#include "SampleHotelTest.moc"

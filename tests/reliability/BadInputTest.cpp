#include "FileState.h"
#include "MigrationProgram.h"
#include "TableComparison.h"
#include "TestMount.h"

#include "store/Connection.h"
#include "tests/support/TableRows.h"
#include "tools/SampleHotel.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtTest>

#include <functional>
#include <stdexcept>
#include <unistd.h>

using namespace tavik;
using namespace tavik::reliability;

namespace {

constexpr int reservations = 300;
constexpr int pageSize = 4096;
constexpr int randomFlipsPerPage = 2;
constexpr qint64 workDiskBytes = 256LL * 1024 * 1024;
const QString protectingPassword = QStringLiteral("quiret");

// The texts the program ends a failed run with; a run that ends otherwise has said nothing useful.
const QStringList programMessages = {
    QStringLiteral("ist mit einem Kennwort geschützt oder ist keine Datendatei"),
    QStringLiteral("nicht vorhanden"),
    QStringLiteral("kann nicht geöffnet werden"),
    QStringLiteral("Datendatei ist geöffnet"),
    QStringLiteral("Lese- oder Schreibfehler"),
    QStringLiteral("ist beschädigt"),
    QStringLiteral("Laufwerk ist voll"),
    QStringLiteral("Die Datenbank meldet einen Fehler"),
    QStringLiteral("Reservierungen"),
};

using Field = std::optional<QString>;
// Says how a field is declared in the table defined anew, or that it is left out.
using FieldDeclaration = std::function<Field(const QString& field, const QString& type)>;

// Defines a table anew with its rows kept; the declaration decides what becomes of each field.
// Fixture SQL of the test's own, built from the table's own definition.
void redefineTable(store::Connection& connection, const QString& table, const FieldDeclaration& declare)
{
    const QString quoted = store::quoteIdentifier(table);
    QStringList definitions { QStringLiteral("\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT") };
    QStringList kept { QStringLiteral("\"ID\"") };
    store::Statement fields = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted));
    while (fields.step()) {
        const QString name = fields.text(1);
        const Field declared = name == QLatin1String("ID") ? std::nullopt : declare(name, fields.text(2));
        if (!declared)
            continue;
        definitions << store::quoteIdentifier(name) + QLatin1Char(' ') + *declared;
        kept << store::quoteIdentifier(name);
    }
    connection.execute(QStringLiteral("ALTER TABLE %1 RENAME TO \"alt\"").arg(quoted));
    connection.execute(
        QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted, definitions.join(QStringLiteral(", "))));
    connection.execute(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM \"alt\"")
                           .arg(quoted, kept.join(QStringLiteral(", "))));
    connection.execute(QStringLiteral("DROP TABLE \"alt\""));
}

void changeDataFile(const QString& path, const std::function<void(store::Connection&)>& change)
{
    const auto connection = store::Connection::open(path, store::OpenOptions {});
    change(*connection);
    connection->close();
}

QByteArray randomBytes(qint64 size, quint64 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

// The bytes of a file that is not, or no longer, a data file; nothing for other damages.
std::optional<QByteArray> foreignBytes(const QString& how, const QByteArray& original)
{
    if (how == QLatin1String("empty"))
        return QByteArray();
    if (how == QLatin1String("half"))
        return original.left(original.size() / 2);
    if (how == QLatin1String("header"))
        return original.left(50);
    if (how == QLatin1String("random"))
        return randomBytes(64 * 1024, 20);
    if (how == QLatin1String("zeros"))
        return QByteArray(64 * 1024, '\0');
    if (how == QLatin1String("text"))
        return QByteArray("Reservierungen;Gast;Anreise\n1;Meier;14.03.2003\n");
    return std::nullopt;
}

// Values no edition writes, put into a sound file. Fixed SQL of the test's own.
void plantOddValues(const QString& how, store::Connection& c)
{
    if (how == QLatin1String("numbers")) {
        // Without declared types, SQLite keeps numbers as numbers instead of turning them into text.
        redefineTable(c, QStringLiteral("Reservierungen"),
            [](const QString&, const QString&) { return Field(QString()); });
        c.execute(QStringLiteral(
            "UPDATE \"Reservierungen\" SET \"Re5\" = 3, \"Re6\" = 2.5, \"Re9\" = 89, \"Re10\" = 178.5, "
            "\"Re12\" = 1e308, \"Re14\" = -1e308, \"Re17\" = 9223372036854775807, \"Erw16\" = 19, \"Erw17\" "
            "= 7.0"));
    } else if (how == QLatin1String("blobs")) {
        c.execute(QStringLiteral(
            "UPDATE \"Reservierungen\" SET \"Re1\" = X'00FF00', \"Re6\" = X'', \"Re9\" = X'DEADBEEF', "
            "\"Re10\" = X'01', \"Re17\" = X'FF', \"Erw16\" = X'3139'"));
        c.execute(QStringLiteral("UPDATE \"Einstellungen\" SET \"MwSt\" = X'3139', \"Memo1\" = X'00'"));
        c.execute(QStringLiteral("UPDATE \"Artikel\" SET \"Art7\" = X'00' WHERE \"ID\" < 3"));
    } else if (how == QLatin1String("odd numbers")) {
        c.execute(QStringLiteral(
            "UPDATE \"Reservierungen\" SET \"Re6\" = 'NaN', \"Re9\" = '1e999', \"Re10\" = '-0', "
            "\"Re12\" = 'inf', \"Re14\" = '1.000.000,00', \"Erw16\" = '١٩', \"Erw17\" = '0x13'"));
        c.execute(QStringLiteral("UPDATE \"Einstellungen\" SET \"MwSt\" = '1e309', \"Zusatz10\" = '-'"));
    } else if (how == QLatin1String("huge")) {
        // Other programs write past the declared sizes; SQLite's own checks are switched off for that here.
        c.execute(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
        c.execute(QStringLiteral(
            "UPDATE \"Reservierungen\" SET \"Re1\" = replace(hex(zeroblob(2500000)), '00', 'ä'), "
            "\"Re13\" = replace(hex(zeroblob(500000)), '0', 'Z'), \"Re14\" = replace(hex(zeroblob(50000)), "
            "'0', '1') "
            "WHERE \"ID\" <= 3"));
        c.execute(QStringLiteral(
            "UPDATE \"Einstellungen\" SET \"Memo1\" = replace(hex(zeroblob(2500000)), '0', 'x'), "
            "\"MwSt\" = replace(hex(zeroblob(500000)), '0', '9')"));
        c.execute(QStringLiteral(
            "UPDATE \"Artikel\" SET \"Art2\" = replace(hex(zeroblob(2000000)), '00', 'ß') WHERE \"ID\" = 1"));
    } else if (how == QLatin1String("no settings record")) {
        c.execute(QStringLiteral("DELETE FROM \"Einstellungen\""));
    } else {
        throw std::invalid_argument("no such damage: " + how.toStdString());
    }
}

// Every reservation of a file, one line each, for telling whether a run changed any of them.
QStringList reservationsOf(const QString& path)
{
    return testsupport::rows(path, QStringLiteral("Reservierungen"));
}

qint64 countOf(const QString& path, const QString& sql)
{
    store::OpenOptions readOnly;
    readOnly.readOnly = true;
    const auto connection = store::Connection::open(path, readOnly);
    store::Statement select = connection->prepare(sql);
    return select.step() ? select.integer(0) : -1;
}

} // namespace

// Older data files that are damaged, foreign, oddly built or oddly named. None may crash the
// program; each ends with a message and an exit status of its table, and the file stays as it was.
class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void aDamagedOrOddSourceIsReported_data();
    void aDamagedOrOddSourceIsReported();
    void aSourceInWalModeIsReadAndLeftAlone_data();
    void aSourceInWalModeIsReadAndLeftAlone();
    void aFlippedByteNeverCrashes_data();
    void aFlippedByteNeverCrashes();
    void aBadBackupIsNeverPutBack_data();
    void aBadBackupIsNeverPutBack();
    void aBackupUnderATooLongPathIsNamedAsSuch();
    void unusualPathsWork_data();
    void unusualPathsWork();
    void cleanupTestCase();

private:
    void damage(const QString& how, const QString& source);
    void checkEnding(const ProgramResult& result, int expectedExit, const QString& expectedText);
    void checkNothingLost(const ProgramResult& result, const QString& target);

    WorkFolder work_ { workDiskBytes };
    QString sourceTemplate_;
    QString targetTemplate_;
    std::unique_ptr<MigrationFolder> migration_;
    std::unique_ptr<FileSnapshot> source_;
    int tried_ = 0;
    int handled_ = 0;
};

void BadInputTest::initTestCase()
{
    QVERIFY(work_.isValid());
    sourceTemplate_ = work_.filePath(QStringLiteral("tavik_20.mdb"));
    targetTemplate_ = work_.filePath(QStringLiteral("tavik_50.mdb"));
    tools::writeOlderEditionFile(sourceTemplate_, tools::SampleOptions { reservations, 5, {} });
    tools::writeNewerEditionFile(targetTemplate_);
}

void BadInputTest::init()
{
    migration_ = std::make_unique<MigrationFolder>(work_.path());
    QVERIFY(migration_->isValid());
    QVERIFY(QFile::copy(sourceTemplate_, migration_->source()));
    QVERIFY(QFile::copy(targetTemplate_, migration_->target()));
    ++tried_;
}

void BadInputTest::cleanup()
{
    if (source_)
        QVERIFY2(source_->changes().isEmpty(), qPrintable(source_->changes()));
    if (!QTest::currentTestFailed())
        ++handled_;
    source_.reset();
    migration_.reset();
}

void BadInputTest::aDamagedOrOddSourceIsReported_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>(
        "text"); // on stderr when the run fails, in the list of skipped operations otherwise
    const QString notADataFile = QStringLiteral("ist mit einem Kennwort geschützt oder ist keine Datendatei");
    const QString noReservations
        = QStringLiteral("enthält keine Tabelle \"Reservierungen\" mit den Feldern einer Reservierung und ist "
                         "keine Datendatei von Tavik 2.0");
    QTest::newRow("empty file") << "empty" << 3 << noReservations;
    QTest::newRow("another program's database") << "drop every table" << 3 << noReservations;
    QTest::newRow("another program's table Reservierungen") << "foreign reservations" << 3 << noReservations;
    QTest::newRow("reservations without row numbers") << "without rowid" << 3 << "ohne Datensatznummern angelegt";
    QTest::newRow("an index that lost records of its table") << "stale index" << 3 << "ist beschädigt";
    QTest::newRow("cut to half its size") << "half" << 3 << "ist beschädigt";
    QTest::newRow("cut inside the file header") << "header" << 3 << "ist beschädigt";
    QTest::newRow("random bytes") << "random" << 3 << notADataFile;
    QTest::newRow("zeros") << "zeros" << 3 << notADataFile;
    QTest::newRow("plain text with the right name") << "text" << 3 << notADataFile;
    QTest::newRow("protected with another password") << "other password" << 3 << notADataFile;
    QTest::newRow("protected with the data-file password") << "data-file password" << 3 << notADataFile;
    // Without Einstellungen the import has no VAT rates and stops before it changes a reservation.
    for (const char* table : { "Reservierungen", "Einstellungen", "Artikel", "Verzehr" })
        QTest::addRow("without table %s", table)
            << QStringLiteral("drop table %1").arg(QLatin1String(table))
            << (qstrcmp(table, "Einstellungen") == 0 ? 4 : 3)
            << (qstrcmp(table, "Reservierungen") == 0
                       ? noReservations
                       : QStringLiteral("Die Tabelle \"%1\" ist in der Datendatei nicht vorhanden")
                             .arg(QLatin1String(table)));
    for (const char* table : { "Tabelle1", "Tabelle2" })
        QTest::addRow("without table %s", table)
            << QStringLiteral("drop table %1").arg(QLatin1String(table)) << 0
            << QStringLiteral("Die Tabelle \"%1\" ist in der Datendatei nicht vorhanden")
                   .arg(QLatin1String(table));
    for (const char* field : { "Reservierungen.Re10", "Reservierungen.Re17", "Reservierungen.Erw16",
             "Reservierungen.Spare2", "Einstellungen.MwSt", "Artikel.Art7", "Verzehr.Z1", "Verzehr.Ver10" })
        QTest::addRow("without field %s", field)
            << QStringLiteral("drop field %1").arg(QLatin1String(field)) << 0
            << QStringLiteral("Feld %1").arg(QString::fromLatin1(field).section(QLatin1Char('.'), 1));
    QTest::newRow("whole numbers and floats in text fields")
        << "numbers" << 0 << "Sie können jetzt Tavik 5.0 starten";
    QTest::newRow("blobs in text fields") << "blobs" << 0 << "Übersprungene Vorgänge";
    QTest::newRow("numbers no reading takes") << "odd numbers" << 0 << "ist keine Zahl";
    QTest::newRow("texts of megabytes") << "huge" << 0 << "Übersprungene Vorgänge";
    // Totals worked out without the settings' rates would be wrong, not missing.
    QTest::newRow("without a settings record")
        << "no settings record" << 4 << "Die Tabelle \"Einstellungen\" enthält keinen Datensatz";
}

void BadInputTest::aDamagedOrOddSourceIsReported()
{
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    QFETCH(QString, text);
    this->damage(damage, migration_->source());
    source_ = std::make_unique<FileSnapshot>(migration_->source());
    const ProgramResult result = migration_->run();
    checkEnding(result, exitCode, text);
    checkNothingLost(result, migration_->target());
    // A file the engine cannot read as a data file, or one without reservations, is refused
    // before it is copied over the target.
    if (text == QLatin1String("ist mit einem Kennwort geschützt oder ist keine Datendatei")
        || text.contains(QLatin1String("enthält keine Tabelle")))
        QCOMPARE(contentOf(migration_->target()), contentOf(targetTemplate_));
    // Only the reservations themselves can tell that exit 4 came before any of them was changed.
    if (exitCode == 4)
        QCOMPARE(reservationsOf(migration_->target()), reservationsOf(migration_->source()));
}

void BadInputTest::aSourceInWalModeIsReadAndLeftAlone_data()
{
    QTest::addColumn<bool>("folderReadOnly");
    QTest::addColumn<bool>("leftoverIndex"); // a reader's -shm, as one killed leaves it
    QTest::newRow("in a folder nobody may write") << true << false;
    QTest::newRow("in a folder the user may write") << false << false;
    QTest::newRow("in a folder the user may write, a reader's index file beside it") << false << true;
}

// Where nobody may write, as under /opt or on a share, SQLite cannot make the files a WAL-mode file
// is read with; where it can, it leaves the empty log behind, and every later copy would find the
// file in use. Either way the settings' rates, which every total depends on, must be read.
void BadInputTest::aSourceInWalModeIsReadAndLeftAlone()
{
    QFETCH(bool, folderReadOnly);
    QFETCH(bool, leftoverIndex);
    // Beside the data folder, whose every name the checks account for; removed after the unmount.
    const QTemporaryDir walFolder(work_.path() + QStringLiteral("/wal-XXXXXX"));
    QVERIFY(walFolder.isValid());
    const QString folder = walFolder.path();
    const QString source = folder + QStringLiteral("/tavik_20.mdb");
    QVERIFY(QFile::copy(sourceTemplate_, source));
    changeDataFile(
        source, [](store::Connection& c) { c.execute(QStringLiteral("PRAGMA journal_mode=WAL")); });
    QVERIFY(contentOf(source).value_or(QByteArray()).mid(18, 2) == QByteArray("\x02\x02"));
    if (leftoverIndex)
        QVERIFY(QFile(source + QStringLiteral("-shm")).open(QIODevice::WriteOnly));
    QVERIFY(migration_->pointAt(source, migration_->target()));
    source_ = std::make_unique<FileSnapshot>(source);
    QString whyNot;
    const std::unique_ptr<TestMount> mount = folderReadOnly ? TestMount::readOnly(folder, whyNot) : nullptr;
    if (folderReadOnly && !mount) {
        if (::geteuid() == 0)
            QSKIP(qPrintable(
                QStringLiteral("root ignores permission bits, and no read-only mount: %1").arg(whyNot)));
        QVERIFY(QFile::setPermissions(source, QFileDevice::ReadOwner));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const auto restore = qScopeGuard([&] {
        if (folderReadOnly && !mount) {
            QFile::setPermissions(
                folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    });
    const ProgramResult result = migration_->run();
    checkEnding(result, 0, QStringLiteral("Sie können jetzt Tavik 5.0 starten"));
    QVERIFY2(!result.out.contains(QStringLiteral("Tabelle Einstellungen")), qPrintable(result.describe()));
    // SQLite itself may clear a reader's leftover index file, as the last connection to go.
    QVERIFY(!QFileInfo::exists(source + QStringLiteral("-wal")));
    QVERIFY(leftoverIndex || !QFileInfo::exists(source + QStringLiteral("-shm")));
    checkNothingLost(result, migration_->target());
    // The sample's settings carry 19 and 7, and its room lines use both.
    const QString totalsAt
        = QStringLiteral("SELECT count(*) FROM \"Reservierungen\" WHERE \"%1\" NOT IN ('', '0')");
    QVERIFY(countOf(migration_->target(), totalsAt.arg(QLatin1String("Erw17"))) > 0);
    QVERIFY(countOf(migration_->target(), totalsAt.arg(QLatin1String("Erw18"))) > 0);
    // Checked here, while the folder is still there.
    QVERIFY2(source_->changes().isEmpty(), qPrintable(source_->changes()));
    source_.reset();
}

void BadInputTest::damage(const QString& how, const QString& source)
{
    const QString table = how.section(QLatin1Char(' '), 2).section(QLatin1Char('.'), 0, 0);
    const QString field = how.section(QLatin1Char('.'), 1);
    if (how == QLatin1String("drop every table"))
        changeDataFile(source, [](store::Connection& c) {
            for (const char* table :
                { "Reservierungen", "Einstellungen", "Artikel", "Verzehr", "Tabelle1", "Tabelle2" })
                c.execute(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
            c.execute(QStringLiteral("CREATE TABLE Kontakte (Name TEXT)"));
        });
    else if (how == QLatin1String("foreign reservations"))
        changeDataFile(source, [](store::Connection& c) {
            c.execute(QStringLiteral("DROP TABLE Reservierungen"));
            c.execute(QStringLiteral("CREATE TABLE Reservierungen (ID INTEGER PRIMARY KEY, Name TEXT, Betrag TEXT)"));
            c.execute(
                QStringLiteral("INSERT INTO Reservierungen VALUES (1, 'Müller', '89,00'), (2, 'Meier', '120,00')"));
        });
    else if (how == QLatin1String("stale index")) {
        // Detached while records are deleted, then attached again: it still lists them.
        changeDataFile(source, [](store::Connection& c) {
            c.execute(QStringLiteral("CREATE INDEX Stale ON Reservierungen (Opt1)"));
            c.execute(QStringLiteral("CREATE TABLE Kept AS SELECT * FROM sqlite_master WHERE name = 'Stale'"));
            c.execute(QStringLiteral("PRAGMA writable_schema = ON"));
            c.execute(QStringLiteral("DELETE FROM sqlite_master WHERE name = 'Stale'"));
        });
        changeDataFile(
            source, [](store::Connection& c) { c.execute(QStringLiteral("DELETE FROM Reservierungen WHERE ID > 2")); });
        changeDataFile(source, [](store::Connection& c) {
            c.execute(QStringLiteral("PRAGMA writable_schema = ON"));
            c.execute(QStringLiteral("INSERT INTO sqlite_master SELECT * FROM Kept"));
        });
    } else if (how == QLatin1String("without rowid"))
        changeDataFile(source, [](store::Connection& c) {
            c.execute(QStringLiteral("DROP TABLE Reservierungen"));
            c.execute(QStringLiteral(
                "CREATE TABLE Reservierungen (ID INTEGER PRIMARY KEY, Opt1 TEXT, Erw16 TEXT, Re10 TEXT) WITHOUT ROWID"));
            c.execute(QStringLiteral("INSERT INTO Reservierungen VALUES (1, 'Doppelzimmer', '7', '89,00')"));
        });
    else if (how.startsWith(QLatin1String("drop table ")))
        changeDataFile(source, [&](store::Connection& c) {
            c.execute(QStringLiteral("DROP TABLE %1").arg(store::quoteIdentifier(table)));
        });
    else if (how.startsWith(QLatin1String("drop field ")))
        changeDataFile(source, [&](store::Connection& c) {
            redefineTable(c, table, [&](const QString& name, const QString& type) {
                return name == field ? Field() : Field(type);
            });
        });
    else if (how.endsWith(QLatin1String("password")))
        tools::writeOlderEditionFile(source,
            { 20, 5,
                how.startsWith(QLatin1String("other")) ? QStringLiteral("geheim") : protectingPassword });
    else if (const std::optional<QByteArray> bytes
        = foreignBytes(how, contentOf(source).value_or(QByteArray())))
        QVERIFY(writeContent(source, *bytes));
    else
        changeDataFile(source, [&](store::Connection& c) { plantOddValues(how, c); });
}

void BadInputTest::checkEnding(const ProgramResult& result, int expectedExit, const QString& expectedText)
{
    QVERIFY2(result.endedByItself, qPrintable(result.describe()));
    QVERIFY2(result.exitCode == expectedExit, qPrintable(result.describe()));
    const QString& where = expectedExit == 0 ? result.out : result.err;
    QVERIFY2(where.contains(expectedText),
        qPrintable(QStringLiteral("\"%1\" not said: %2").arg(expectedText, result.describe())));
}

void BadInputTest::checkNothingLost(const ProgramResult& result, const QString& target)
{
    QVERIFY2(someBackupHolds(target, contentOf(targetTemplate_).value_or(QByteArray())),
        "no backup holds the target as it was");
    if (result.exitCode != 0)
        QVERIFY2(!markedImported(target), "a failed run marked the target as imported");
    const QFileInfo info(target);
    QStringList leftovers = leftoversIn(info.path(), { QStringLiteral("tavik_20.mdb"), info.fileName() }, target);
    // A run put back from its backup keeps the failed copy beside it, and says where.
    leftovers.removeIf([&](const QString& name) { return result.err.contains(QDir(info.path()).filePath(name)); });
    QVERIFY2(leftovers.isEmpty(),
        qPrintable(QStringLiteral("left behind: ") + leftovers.join(QStringLiteral(", "))));
}

void BadInputTest::aFlippedByteNeverCrashes_data()
{
    QTest::addColumn<qint64>("offset");
    // The file header's fields, then in every page the b-tree header and a few random bytes.
    const QList<std::pair<int, const char*>> headerFields { { 0, "magic string" }, { 16, "page size" },
        { 18, "write version" }, { 20, "reserved space" }, { 21, "payload fraction" },
        { 28, "size in pages" }, { 32, "first free page" }, { 40, "schema cookie" }, { 44, "schema format" },
        { 52, "largest root page" }, { 56, "text encoding" } };
    for (const auto& [offset, field] : headerFields)
        QTest::addRow("file header, %s", field) << qint64(offset);
    const qint64 pages = QFileInfo(sourceTemplate_).size() / pageSize;
    QRandomGenerator random(4711);
    for (qint64 page = 1; page <= pages; ++page) {
        const qint64 start = (page - 1) * pageSize + (page == 1 ? 100 : 0);
        QTest::addRow("page %lld, page type", page) << start;
        QTest::addRow("page %lld, cell count", page) << start + 4;
        for (int flip = 0; flip < randomFlipsPerPage; ++flip) {
            const qint64 offset = (page - 1) * pageSize + random.bounded(pageSize);
            QTest::addRow("page %lld, byte %lld", page, offset % pageSize) << offset;
        }
    }
}

void BadInputTest::aFlippedByteNeverCrashes()
{
    QFETCH(qint64, offset);
    QByteArray bytes = contentOf(migration_->source()).value_or(QByteArray());
    bytes[offset] = static_cast<char>(~bytes.at(offset));
    QVERIFY(writeContent(migration_->source(), bytes));
    source_ = std::make_unique<FileSnapshot>(migration_->source());
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && QList<int>({ 0, 1, 3, 4 }).contains(result.exitCode),
        qPrintable(result.describe()));
    // A flipped byte inside a value changes only that value; nothing can notice it, and the run goes on.
    if (result.exitCode != 0) {
        const bool said = std::any_of(programMessages.cbegin(), programMessages.cend(),
            [&](const QString& message) { return result.err.contains(message); });
        QVERIFY2(said, qPrintable(result.describe()));
    }
    checkNothingLost(result, migration_->target());
}

void BadInputTest::unusualPathsWork_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("chosen"); // given with --source, protected with the data-file password
    QTest::addColumn<int>("exitCode");
    const QString longFolder = QStringLiteral("Ein sehr langer Ordnername für die Daten des Hotels ")
        + QString(40, QLatin1Char('x'));
    QTest::newRow("blanks") << "Hotel zur Post/Daten alt/tavik 20 alt.mdb"
                            << "Hotel zur Post/Daten neu/tavik 50 neu.mdb" << false << 0;
    QTest::newRow("umlauts") << "Gästehaus Müller/Ältere Daten/Buchungen ÄÖÜ äöü ß.mdb"
                             << "Gästehaus Müller/Neue Daten/Größe_50.mdb" << false << 0;
    QTest::newRow("quotes and semicolons") << "O'Brien's; Hotel/it's_20.mdb"
                                           << "O'Brien's; Hotel/DROP TABLE x; --_50.mdb" << false << 0;
    QTest::newRow("blanks and umlauts, chosen with --source") << "Sicherung vom März/Kopie Größe_TAVIK_20.MDB"
                                                              << "Neu/tavik_50.mdb" << true << 0;
    QTest::newRow("longest file names")
        << QString(243, QLatin1Char('a')) + QStringLiteral("_20.mdb")
        << QString(240, QLatin1Char('b')) + QStringLiteral("_50.mdb") << false << 0;
    QTest::newRow("path of about 420 bytes")
        << QStringList(4, longFolder).join(QLatin1Char('/')) + QStringLiteral("/tavik_20.mdb")
        << QStringList(4, longFolder).join(QLatin1Char('/')) + QStringLiteral("/tavik_50.mdb") << false << 0;
    // SQLite opens no file whose full name (or its journal's) is longer than 512 bytes: refused
    // before anything is copied.
    QTest::newRow("path beyond what the engine opens")
        << QStringList(7, longFolder).join(QLatin1Char('/')) + QStringLiteral("/tavik_20.mdb")
        << QStringList(7, longFolder).join(QLatin1Char('/')) + QStringLiteral("/tavik_50.mdb") << false << 1;
}

void BadInputTest::unusualPathsWork()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, chosen);
    QFETCH(int, exitCode);
    source = migration_->path(source);
    target = migration_->path(target);
    QVERIFY(QDir().mkpath(QFileInfo(source).path()) && QDir().mkpath(QFileInfo(target).path()));
    QVERIFY(QFile::copy(targetTemplate_, target));
    if (chosen)
        tools::writeOlderEditionFile(source, tools::SampleOptions { reservations, 5, protectingPassword });
    else
        QVERIFY(QFile::copy(sourceTemplate_, source));
    QVERIFY(migration_->pointAt(chosen ? migration_->source() : source, target));
    if (!chosen)
        source_ = std::make_unique<FileSnapshot>(source);
    const ProgramResult result
        = migration_->run(chosen ? QStringList { QStringLiteral("--source"), source } : QStringList());
    QVERIFY2(result.endedByItself && result.exitCode == exitCode, qPrintable(result.describe()));
    if (exitCode == 0) {
        QVERIFY(markedImported(target));
        // A file chosen through --source loses its password and nothing else, and the user reads so.
        if (chosen) {
            QCOMPARE(firstDifference(source, sourceTemplate_), QString());
            QVERIFY2(result.out.contains(QStringLiteral("das Kennwort der Datei wurde entfernt")),
                qPrintable(result.describe()));
        }
    } else {
        QVERIFY2(
            result.err.contains(QStringLiteral("kann nicht geöffnet werden")), qPrintable(result.describe()));
    }
    QVERIFY2(contentOf(target) == contentOf(targetTemplate_)
            || someBackupHolds(target, contentOf(targetTemplate_).value_or(QByteArray())),
        "the target changed, and no backup holds it as it was");
}

void BadInputTest::aBadBackupIsNeverPutBack_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("exitCode");
    for (const char* how : { "empty", "half", "header", "random", "zeros", "text", "other password" })
        QTest::newRow(how) << how << 2;
    QTest::newRow("protected with the data-file password, still a data file") << "data-file password" << 0;
}

void BadInputTest::aBadBackupIsNeverPutBack()
{
    QFETCH(QString, damage);
    QFETCH(int, exitCode);
    const QString backup = migration_->path(QStringLiteral("tavik_50.ba0"));
    QVERIFY(QFile::copy(sourceTemplate_, backup));
    this->damage(damage, backup);
    const FileSnapshot target(migration_->target());
    const ProgramResult result = runProgram(migration_->environment(), { QStringLiteral("--restore") });
    QVERIFY2(result.endedByItself && result.exitCode == exitCode, qPrintable(result.describe()));
    if (exitCode == 0) {
        QCOMPARE(contentOf(migration_->target()), contentOf(backup));
        return;
    }
    QVERIFY2(result.err.contains(QStringLiteral("ist keine Datendatei")), qPrintable(result.describe()));
    QVERIFY2(target.changes().isEmpty(), qPrintable(target.changes()));
    QCOMPARE(backupsBeside(migration_->target()), QStringList { backup });
}

// The user must learn why, not that the backup is no data file, to find the way back.
void BadInputTest::aBackupUnderATooLongPathIsNamedAsSuch()
{
    const QString folder = migration_->path(QStringList(4, QString(125, QLatin1Char('s'))).join(QLatin1Char('/')));
    QVERIFY(QDir().mkpath(folder));
    const QString backup = folder + QStringLiteral("/tavik_50.2026-12-10_13-25-57.ba0");
    QVERIFY(QFile::copy(targetTemplate_, backup));
    const FileSnapshot target(migration_->target());
    const ProgramResult result = runProgram(migration_->environment(), { QStringLiteral("--restore"), backup });
    QVERIFY2(result.endedByItself && result.exitCode == 2 && result.err.contains(QStringLiteral("länger als"))
            && result.err.contains(QStringLiteral("kürzeren Namen")),
        qPrintable(result.describe()));
    QVERIFY2(target.changes().isEmpty(), qPrintable(target.changes()));
}

void BadInputTest::cleanupTestCase()
{
    qInfo().noquote() << QStringLiteral(
        "bad inputs tried: %1, ended with a message and the source intact: %2")
                             .arg(tried_)
                             .arg(handled_);
}

QTEST_GUILESS_MAIN(BadInputTest)
#include "BadInputTest.moc"

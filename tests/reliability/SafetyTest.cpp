#include "FileState.h"
#include "MigrationProgram.h"
#include "TableComparison.h"
#include "TestMount.h"

#include "app/MainWindow.h"
#include "store/Connection.h"
#include "tests/support/ScriptedDialogs.h"
#include "tools/SampleHotel.h"

#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavik;
using namespace tavik::reliability;
using testsupport::ScriptedDialogs;

namespace {

constexpr int reservations = 60;
constexpr qint64 workDiskBytes = 128LL * 1024 * 1024;
const QString password = QStringLiteral("quiret");
// Both kinds of quote, a statement end and a comment: SQL text built from it would break or run it.
const QString injection = QStringLiteral("x'); DROP TABLE \"Verzehr\"; --");
const QStringList editionTables = { QStringLiteral("Artikel"), QStringLiteral("Einstellungen"),
    QStringLiteral("Reservierungen"), QStringLiteral("Tabelle1"), QStringLiteral("Tabelle2"),
    QStringLiteral("Verzehr"), QStringLiteral("sqlite_sequence") };
const QString reportName = QStringLiteral("bericht.json");

qint64 count(const QString& path, const QString& sql, const QString& value = QString())
{
    store::OpenOptions readOnly;
    readOnly.readOnly = true;
    const auto connection = store::Connection::open(path, readOnly);
    store::Statement select = connection->prepare(sql);
    if (!value.isNull())
        select.bind(1, value);
    return select.step() ? select.integer(0) : -1;
}

QStringList tablesOf(const QString& path)
{
    const auto connection = store::Connection::open(path, store::OpenOptions {});
    store::Statement select = connection->prepare(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    QStringList tables;
    while (select.step())
        tables << select.text(0);
    return tables;
}

void setValue(const QString& path, const QString& sql, const QString& value)
{
    const auto connection = store::Connection::open(path, store::OpenOptions {});
    store::Statement update = connection->prepare(sql);
    update.bind(1, value);
    update.run();
}

// The file's mode bits as the file system holds them (not what this process may do with it).
mode_t modeOf(const QString& path)
{
    struct stat status { };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// A temporary file of a copy another run is writing right now: it holds the lock that says so.
class RunningCopy {
public:
    explicit RunningCopy(const QString& path)
        : descriptor_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (descriptor_ >= 0)
            ::flock(descriptor_, LOCK_EX);
    }
    ~RunningCopy()
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

private:
    int descriptor_;
};

} // namespace

// The safety of the code as a user's data sees it: values are stored as values, the data-file
// password shows nowhere, and temporary files neither outlive a crash nor open the data to others.
class SafetyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void valuesThatLookLikeSqlAreStoredAsText_data();
    void valuesThatLookLikeSqlAreStoredAsText();
    void thePasswordAppearsNowhere_data();
    void thePasswordAppearsNowhere();
    void thePasswordAppearsNowhereInTheWindow();
    void copiesKeepTheirFilesMode_data();
    void copiesKeepTheirFilesMode();
    void temporaryCopiesOfACrashedRunAreRemoved_data();
    void temporaryCopiesOfACrashedRunAreRemoved();
    void aReportNeverReplacesAFileOfTheRun_data();
    void aReportNeverReplacesAFileOfTheRun();
    void aSecondRunAtTheSameTimeIsRefused();

private:
    QString chosenFile() const { return migration_->path(QStringLiteral("Sicherung_TAVIK_20.MDB")); }

    WorkFolder work_ { workDiskBytes };
    QString sourceTemplate_;
    QString targetTemplate_;
    std::unique_ptr<MigrationFolder> migration_;
    std::unique_ptr<FileSnapshot> source_;
};

void SafetyTest::initTestCase()
{
    QVERIFY(work_.isValid());
    sourceTemplate_ = work_.filePath(QStringLiteral("tavik_20.mdb"));
    targetTemplate_ = work_.filePath(QStringLiteral("tavik_50.mdb"));
    tools::writeOlderEditionFile(sourceTemplate_, tools::SampleOptions { reservations, 9, {} });
    tools::writeNewerEditionFile(targetTemplate_);
}

void SafetyTest::init()
{
    migration_ = std::make_unique<MigrationFolder>(work_.path());
    QVERIFY(migration_->isValid());
    QVERIFY(QFile::copy(sourceTemplate_, migration_->source()));
    QVERIFY(QFile::copy(targetTemplate_, migration_->target()));
    source_ = std::make_unique<FileSnapshot>(migration_->source());
}

void SafetyTest::cleanup()
{
    // Whatever a case chose with --source, the older data file in the settings stays as it was.
    QVERIFY2(source_->changes().isEmpty(), qPrintable(source_->changes()));
}

void SafetyTest::valuesThatLookLikeSqlAreStoredAsText_data()
{
    QTest::addColumn<QString>(
        "planted"); // puts the value into the older file; empty: the VAT answer carries it
    QTest::addColumn<QString>("found"); // counts the value in the migrated file
    QTest::addColumn<int>("expected");
    QTest::newRow("guest name") << "UPDATE \"Reservierungen\" SET \"Re1\" = ?1 WHERE \"ID\" = 1"
                                << "SELECT count(*) FROM \"Reservierungen\" WHERE \"Re1\" = ?1" << 1;
    QTest::newRow("text of an extra line, becoming a charge line")
        << "UPDATE \"Reservierungen\" SET \"Re13\" = ?1, \"Re14\" = '12,50' WHERE \"ID\" = 1"
        << "SELECT count(*) FROM \"Verzehr\" WHERE \"Z1\" = ?1" << 1;
    QTest::newRow("name of an article without a rate")
        << "UPDATE \"Artikel\" SET \"Art2\" = ?1 WHERE \"Art7\" IS NULL OR \"Art7\" = ''"
        << "SELECT count(*) FROM \"Artikel\" WHERE \"Art2\" = ?1 AND \"Art7\" = '19'" << 4;
    QTest::newRow("hotel name") << "UPDATE \"Einstellungen\" SET \"Hotelname\" = ?1"
                                << "SELECT count(*) FROM \"Einstellungen\" WHERE \"Hotelname\" = ?1" << 1;
    QTest::newRow("VAT answer") << ""
                                << "SELECT count(*) FROM \"Artikel\" WHERE \"Art7\" = ?1" << 4;
}

void SafetyTest::valuesThatLookLikeSqlAreStoredAsText()
{
    QFETCH(QString, planted);
    QFETCH(QString, found);
    QFETCH(int, expected);
    if (!planted.isEmpty()) {
        setValue(migration_->source(), planted, injection);
        source_ = std::make_unique<FileSnapshot>(migration_->source());
    }
    const ProgramResult result = planted.isEmpty() ? runProgram(migration_->environment(),
                                     { QStringLiteral("--batch"), QStringLiteral("--vat"), injection })
                                                   : migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 0, qPrintable(result.describe()));
    QCOMPARE(tablesOf(migration_->target()), editionTables);
    QCOMPARE(count(migration_->target(), found, injection), qint64(expected));
    QCOMPARE(count(migration_->target(), QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")),
        qint64(reservations));
}

void SafetyTest::thePasswordAppearsNowhere_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("protected file chosen with --source") << "chosen" << 0;
    QTest::newRow("chosen file in a folder nobody may write to") << "read-only" << 3;
    QTest::newRow("chosen file protected with another password") << "other password" << 3;
    QTest::newRow("protected file in the settings, not chosen") << "not chosen" << 3;
}

void SafetyTest::thePasswordAppearsNowhere()
{
    QFETCH(QString, situation);
    QFETCH(int, exitCode);
    const QString folder = migration_->path(QStringLiteral("gewaehlt"));
    QVERIFY(QDir().mkpath(folder));
    const QString chosen = folder + QStringLiteral("/Sicherung_TAVIK_20.MDB");
    tools::writeOlderEditionFile(chosen,
        { reservations, 9,
            situation == QLatin1String("other password") ? QStringLiteral("geheim") : password });
    // Where the password-free file cannot be written, the failure is logged with what was tried.
    std::unique_ptr<TestMount> readOnly;
    if (situation == QLatin1String("read-only")) {
        QString whyNot;
        readOnly = TestMount::readOnly(folder, whyNot);
        if (!readOnly)
            QSKIP(qPrintable(QStringLiteral("no read-only mount: %1").arg(whyNot)));
    }
    QStringList arguments { QStringLiteral("--report"), migration_->path(reportName) };
    if (situation == QLatin1String("not chosen")) {
        QVERIFY(migration_->pointAt(chosen, migration_->target()));
        source_ = std::make_unique<FileSnapshot>(chosen);
    } else
        arguments << QStringLiteral("--source") << chosen;
    const ProgramResult result = migration_->run(arguments);
    QVERIFY2(result.endedByItself && result.exitCode == exitCode, qPrintable(result.describe()));
    const QString report = QString::fromUtf8(contentOf(migration_->path(reportName)).value_or(QByteArray()));
    QVERIFY2(!report.isEmpty(), "no report written");
    for (const auto& [where, text] : { std::pair { "stdout", result.out }, std::pair { "stderr", result.err },
             std::pair { "report", report } }) {
        QVERIFY2(!text.contains(password, Qt::CaseInsensitive),
            qPrintable(QStringLiteral("the password shows in the %1: %2")
                           .arg(QLatin1String(where), text.left(3000))));
        QVERIFY2(!text.contains(QStringLiteral("pwd="), Qt::CaseInsensitive), where);
    }
}

void SafetyTest::thePasswordAppearsNowhereInTheWindow()
{
    const QString chosen = chosenFile();
    tools::writeOlderEditionFile(chosen, { reservations, 9, password });
    ScriptedDialogs dialogs;
    dialogs.fileChoices = QStringList { chosen };
    dialogs.answers = QStringList { QStringLiteral("19") };
    app::WindowSetup setup;
    const QString target = migration_->target();
    setup.settings = [=](const QString& application, const QString&, const QString&, const QString&) {
        return application == QLatin1String("Tavik 2.0") ? QStringLiteral("/nicht/da_20.mdb") : target;
    };
    setup.sharedDocumentsFolder = migration_->dataFolder();
    setup.dialogs = &dialogs;
    setup.endProgram = [](int) {};
    app::MainWindow window(std::move(setup));
    for (QTimer* step :
        { window.form().Timer2, window.form().Timer3, window.form().Timer4, window.form().Timer5 })
        step->setInterval(1);
    window.form().mnu_suchen->trigger();
    window.form().Command6->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.form().Command7->isVisibleTo(window.form().form), 20000);
    const QString log = QString::fromUtf8(
        contentOf(migration_->path(QStringLiteral("tavik-migrate.log"))).value_or(QByteArray()));
    QVERIFY2(!log.isEmpty(), "the window wrote no log");
    QVERIFY2(!log.contains(password, Qt::CaseInsensitive), qPrintable(log.left(3000)));
    for (const ScriptedDialogs::Shown& shown : dialogs.messages)
        QVERIFY2(!shown.text.contains(password, Qt::CaseInsensitive), qPrintable(shown.text));
}

void SafetyTest::copiesKeepTheirFilesMode_data()
{
    QTest::addColumn<QString>(
        "file"); // target: the copy over it and its backup; chosen: the file rewritten without its password
    QTest::addColumn<int>("mode");
    QTest::newRow("target only its owner may read") << "target" << 0600;
    QTest::newRow("target its group may read") << "target" << 0640;
    QTest::newRow("target everybody may change") << "target" << 0666;
    QTest::newRow("chosen file only its owner may read") << "chosen" << 0600;
    QTest::newRow("chosen file nobody may change") << "chosen" << 0440;
}

void SafetyTest::copiesKeepTheirFilesMode()
{
    QFETCH(QString, file);
    QFETCH(int, mode);
    // A generous umask shows that modes come from the files, not from the process.
    const mode_t savedMask = ::umask(0);
    const auto restoreMask = qScopeGuard([savedMask] { ::umask(savedMask); });
    const bool chosen = file == QLatin1String("chosen");
    // Only root may rewrite a file nobody may change; to anybody else it stays protected.
    if (chosen && (mode & 0200) == 0 && ::geteuid() != 0)
        QSKIP("only root can take the password from a file nobody may change");
    if (chosen)
        tools::writeOlderEditionFile(chosenFile(), { reservations, 9, password });
    const QString path = chosen ? chosenFile() : migration_->target();
    QVERIFY(setMode(path, mode_t(mode)));
    const ProgramResult result
        = migration_->run(chosen ? QStringList { QStringLiteral("--source"), path } : QStringList());
    QVERIFY2(result.endedByItself && result.exitCode == 0, qPrintable(result.describe()));
    QCOMPARE(modeOf(path), mode_t(mode));
    if (!chosen)
        QCOMPARE(modeOf(migration_->path(QStringLiteral("tavik_50.ba0"))), mode_t(mode));
}

void SafetyTest::temporaryCopiesOfACrashedRunAreRemoved_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("running"); // another copy is writing it right now
    QTest::addColumn<bool>("removed");
    QTest::newRow("copy over the target") << "tavik_50.mdb.tavik-copy-Q1w2E3" << false << true;
    QTest::newRow("copy of the backup") << "tavik_50.ba0.tavik-copy-r4T5y6" << false << true;
    QTest::newRow("copy another run is still writing") << "tavik_50.mdb.tavik-copy-Ab12Cd" << true << false;
    QTest::newRow("a user's file of a name alike") << "tavik_50.mdb.tavik-copy-Sicherung" << false << false;
    QTest::newRow("a copy of another file") << "tavik_51.mdb.tavik-copy-Ab12Cd" << false << false;
}

void SafetyTest::temporaryCopiesOfACrashedRunAreRemoved()
{
    QFETCH(QString, name);
    QFETCH(bool, running);
    QFETCH(bool, removed);
    // Where the file system cannot create a file without a name (Windows, some network shares), a
    // killed copy leaves its temporary file; the next run must not leave it lying forever.
    const QString leftover = migration_->path(name);
    QVERIFY(writeContent(leftover, QByteArray(4096, 'k')));
    std::unique_ptr<RunningCopy> other = running ? std::make_unique<RunningCopy>(leftover) : nullptr;
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 0, qPrintable(result.describe()));
    QCOMPARE(QFileInfo::exists(leftover), !removed);
}

void SafetyTest::aReportNeverReplacesAFileOfTheRun_data()
{
    QTest::addColumn<QString>("name"); // the file in the data folder the report would replace
    QTest::addColumn<QString>("how");  // how the report's path names it
    QTest::newRow("older file") << "tavik_20.mdb" << "as it is";
    QTest::newRow("older file, relative") << "tavik_20.mdb" << "relative";
    QTest::newRow("older file through a hard link") << "tavik_20.mdb" << "hard link";
    QTest::newRow("target through a symbolic link") << "tavik_50.mdb" << "symbolic link";
    QTest::newRow("backup") << "tavik_50.ba0" << "as it is";
    QTest::newRow("dated backup") << "tavik_50.2026-01-02_03-04-05.ba0" << "as it is";
    QTest::newRow("run log") << "tavik-migrate.log" << "as it is";
    QTest::newRow("another hotel's protected data file") << "anderes_hotel.mdb" << "as it is";
    QTest::newRow("a file that is no report") << "notizen.txt" << "as it is";
    QTest::newRow("another program's JSON object") << "gaeste.json"
                                                   << "as it is";
}

void SafetyTest::aReportNeverReplacesAFileOfTheRun()
{
    QFETCH(QString, name);
    QFETCH(QString, how);
    const QString file = migration_->path(name);
    if (name.endsWith(QLatin1String(".mdb")) && !QFileInfo::exists(file))
        tools::writeOlderEditionFile(file, { 5, 3, password }); // no header tells it from random bytes
    if (name.endsWith(QLatin1String(".json")))
        QVERIFY(writeContent(file, QByteArrayLiteral("{\"backup\": [\"Meier\", \"Schulz\"]}")));
    if (!QFileInfo::exists(file))
        QVERIFY(writeContent(file, QByteArrayLiteral("aus einem früheren Lauf")));
    QString report = file;
    if (how == QLatin1String("relative")) {
        report = QDir::current().relativeFilePath(file);
    } else if (how == QLatin1String("hard link")) {
        report = migration_->path(reportName);
        QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(report).constData()) == 0);
    } else if (how == QLatin1String("symbolic link")) {
        report = migration_->path(reportName);
        QVERIFY(QFile::link(file, report));
    }
    const QDir folder(migration_->dataFolder());
    const QStringList namesBefore = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const std::optional<QByteArray> before = contentOf(file);
    const FileSnapshot target(migration_->target());

    const ProgramResult result = migration_->run({ QStringLiteral("--report"), report });
    QVERIFY2(result.endedByItself && result.exitCode == 2 && result.err.contains(report), qPrintable(result.describe()));
    QVERIFY(contentOf(file) == before);
    QVERIFY2(target.changes().isEmpty(), qPrintable(target.changes()));
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), namesBefore);
}

void SafetyTest::aSecondRunAtTheSameTimeIsRefused()
{
    // Large enough that the first run is still at work when the second starts.
    tools::writeOlderEditionFile(migration_->source(), { 20000, 9, {} });
    source_ = std::make_unique<FileSnapshot>(migration_->source());
    const QByteArray targetBefore = contentOf(migration_->target()).value_or(QByteArray());
    QProcess first;
    first.setProcessEnvironment(migration_->environment());
    first.start(programPath(), batchArguments());
    first.closeWriteChannel();
    // Held from before the backup to the end: the file is there exactly while the first run works.
    const QString lock = migration_->target() + QStringLiteral(".lock");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock) || first.state() == QProcess::NotRunning, 20000);
    QVERIFY2(first.state() == QProcess::Running, "the first run ended before a second could start");
    ::kill(pid_t(first.processId()), SIGSTOP);
    const ProgramResult second = migration_->run({ QStringLiteral("--report"), migration_->path(reportName) });
    ::kill(pid_t(first.processId()), SIGCONT);
    QVERIFY(first.waitForFinished(120000));

    QVERIFY2(second.endedByItself && second.exitCode == 1
            && second.err.contains(QStringLiteral("wird gerade von einem anderen Lauf bearbeitet")),
        qPrintable(second.describe()));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(contentOf(migration_->path(QStringLiteral("tavik_50.ba0"))) == targetBefore);
    QCOMPARE(backupsBeside(migration_->target()).size(), 1);
    QVERIFY(markedImported(migration_->target()));
    QVERIFY(!QFileInfo::exists(lock));
}

QTEST_MAIN(SafetyTest)
#include "SafetyTest.moc"

#include "FileState.h"
#include "MigrationProgram.h"
#include "TableComparison.h"
#include "TestMount.h"

#include "app/MainWindow.h"
#include "store/Connection.h"
#include "tests/support/LockHolder.h"
#include "tests/support/ScriptedDialogs.h"
#include "tools/SampleHotel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <stdexcept>
#include <unistd.h>

using namespace tavik;
using namespace tavik::reliability;
using testsupport::LockHolder;
using testsupport::ScriptedDialogs;

namespace {

constexpr int reservations = 3000;
// Room beyond what the files put on a small disk need: enough for nothing of what comes next.
constexpr qint64 slack = 64 * 1024;
const QString copyFailed = QStringLiteral("Datendatei ist geöffnet");
const QString diskFull = QStringLiteral("Laufwerk ist voll");
const QString reportName = QStringLiteral("bericht.json");

qint64 sizeOf(const QString& path)
{
    return QFileInfo(path).size();
}

// Leaves a data file as a process killed in the middle of a write transaction leaves it: pages
// already written over, and the old ones in a hot journal beside it.
void cutOffWrite(const QString& path)
{
    // The write runs on a copy, whose state half way is taken over; the rollback at the end then only
    // undoes the copy.
    const QString working = path + QStringLiteral(".schreibend");
    QFile::remove(working);
    if (!QFile::copy(path, working))
        throw std::runtime_error("cannot copy " + path.toStdString());
    const auto connection = store::Connection::open(working, store::OpenOptions {});
    // With a cache this small, SQLite must write pages into the file before the commit.
    connection->execute(QStringLiteral("PRAGMA cache_size = 2"));
    connection->execute(QStringLiteral("BEGIN"));
    connection->execute(
        QStringLiteral("UPDATE \"Reservierungen\" SET \"Re1\" = 'überschrieben', \"Re8\" = 'überschrieben'"));
    const std::optional<QByteArray> written = contentOf(working);
    const std::optional<QByteArray> journal = contentOf(working + QStringLiteral("-journal"));
    connection->execute(QStringLiteral("ROLLBACK"));
    connection->close();
    QFile::remove(working);
    // SQLite plays a journal back only when its header is written, the first byte of it not zero.
    if (!written || written == contentOf(path) || !journal || journal->isEmpty() || journal->at(0) == 0)
        throw std::runtime_error("no write cut off in " + path.toStdString());
    writeContent(path, *written);
    writeContent(path + QStringLiteral("-journal"), *journal);
}

} // namespace

// Faults from outside while the migration runs: a full disk, a folder nobody may write to, files
// that disappear, are held by another process or have a journal beside them. Each must end with a
// message and leave the older data file and the newer one's backup as they were.
class FaultTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void aFullDiskStopsTheCopy_data();
    void aFullDiskStopsTheCopy();
    void aFullDiskDuringTheImportIsReported();
    void aTargetWithoutRoomForItsBackupIsNotReplaced();
    void aTargetThatCannotBeWrittenIsNotReplaced_data();
    void aTargetThatCannotBeWrittenIsNotReplaced();
    void anOlderFileTheEngineCannotOpenIsNotCopied();
    void anOlderFileTheUserMayNotReadIsNamedSo();
    void aReportThatDoesNotFitIsSaidAndLeavesNothing();
    void aReadOnlyTargetFolderChangesNothing();
    void aSourceGoneBeforeStartIsReported();
    void aFileHeldByAnotherProcessIsLeftAlone_data();
    void aFileHeldByAnotherProcessIsLeftAlone();
    void aJournalBesideTheSourceStopsTheCopy_data();
    void aJournalBesideTheSourceStopsTheCopy();
    void aJournalLeftBesideTheTargetIsRolledBack_data();
    void aJournalLeftBesideTheTargetIsRolledBack();
    void cleanupTestCase();

private:
    // A folder for the target on a disk that holds diskBytes. Where this machine allows no mount,
    // every file the program writes is limited to fileBytes instead.
    QString crampedTarget(qint64 diskBytes, qint64 fileBytes);
    void checkNothingLost(const QString& target, bool backupMade);

    QTemporaryDir templates_;
    QString sourceTemplate_;
    QString targetTemplate_;
    std::unique_ptr<MigrationFolder> migration_;
    std::unique_ptr<FileSnapshot> source_;
    std::unique_ptr<TestMount> mount_;
    qint64 fileSizeLimit_ = 0;
    int injected_ = 0;
    int survived_ = 0;
    int claimedSuccess_ = 0;
};

void FaultTest::initTestCase()
{
    QVERIFY(templates_.isValid());
    sourceTemplate_ = templates_.filePath(QStringLiteral("tavik_20.mdb"));
    targetTemplate_ = templates_.filePath(QStringLiteral("tavik_50.mdb"));
    tools::writeOlderEditionFile(sourceTemplate_, tools::SampleOptions { reservations, 17, {} });
    tools::writeNewerEditionFile(targetTemplate_);
}

void FaultTest::init()
{
    migration_ = std::make_unique<MigrationFolder>();
    QVERIFY(migration_->isValid());
    QVERIFY(QFile::copy(sourceTemplate_, migration_->source()));
    QVERIFY(QFile::copy(targetTemplate_, migration_->target()));
    source_ = std::make_unique<FileSnapshot>(migration_->source());
    fileSizeLimit_ = 0;
    ++injected_;
}

void FaultTest::cleanup()
{
    // The older data file survives every fault byte for byte, journal included.
    QVERIFY2(source_->changes().isEmpty(), qPrintable(source_->changes()));
    if (!QTest::currentTestFailed())
        ++survived_;
    mount_.reset();
    migration_.reset();
}

QString FaultTest::crampedTarget(qint64 diskBytes, qint64 fileBytes)
{
    const QString folder = migration_->path(QStringLiteral("klein"));
    QDir().mkpath(folder);
    QString whyNot;
    mount_ = TestMount::smallDisk(folder, diskBytes, whyNot);
    if (!mount_) {
        qInfo().noquote()
            << QStringLiteral("no small disk (%1); a file size limit stands in for it").arg(whyNot);
        fileSizeLimit_ = fileBytes;
    }
    const QString target = folder + QStringLiteral("/tavik_50.mdb");
    QFile::copy(targetTemplate_, target);
    migration_->pointAt(migration_->source(), target);
    return target;
}

void FaultTest::checkNothingLost(const QString& target, bool backupMade)
{
    const QString backup = target.chopped(3) + QStringLiteral("ba0");
    if (backupMade)
        QVERIFY2(
            contentOf(backup) == contentOf(targetTemplate_), "the .ba0 does not hold the target as it was");
    const QStringList leftovers = leftoversIn(QFileInfo(target).path(),
        { QStringLiteral("tavik_20.mdb"), QFileInfo(target).fileName(), QStringLiteral("klein"), reportName },
        target);
    QVERIFY2(leftovers.isEmpty(),
        qPrintable(QStringLiteral("left behind: ") + leftovers.join(QStringLiteral(", "))));
}

void FaultTest::aFullDiskStopsTheCopy_data()
{
    QTest::addColumn<bool>("roomForTheBackup");
    QTest::newRow("no room for the copy") << true;
    QTest::newRow("no room even for the backup") << false;
}

void FaultTest::aFullDiskStopsTheCopy()
{
    QFETCH(bool, roomForTheBackup);
    const qint64 targetSize = sizeOf(targetTemplate_);
    const QString target = roomForTheBackup ? crampedTarget(2 * targetSize + slack, targetSize + slack)
                                            : crampedTarget(targetSize + slack / 4, targetSize - 1);
    const ProgramResult result = migration_->run({}, fileSizeLimit_);
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed),
        qPrintable(result.describe()));
    QVERIFY(contentOf(target) == contentOf(targetTemplate_));
    checkNothingLost(target, roomForTheBackup);
}

void FaultTest::aFullDiskDuringTheImportIsReported()
{
    const qint64 targetSize = sizeOf(targetTemplate_);
    const qint64 sourceSize = sizeOf(sourceTemplate_);
    const QString target = crampedTarget(2 * targetSize + sourceSize + slack, sourceSize + slack);
    const QString report = migration_->path(reportName);
    const ProgramResult result = migration_->run({ QStringLiteral("--report"), report }, fileSizeLimit_);
    QVERIFY2(result.endedByItself, qPrintable(result.describe()));
    QVERIFY2(QList<int>({ 1, 3, 4 }).contains(result.exitCode) && result.err.contains(diskFull),
        qPrintable(result.describe()));
    QVERIFY(!markedImported(target));
    if (result.exitCode == 0)
        ++claimedSuccess_;
    checkNothingLost(target, true);
    // Stopped after the copy, the run says where the file from before is and how to get it back.
    if (result.exitCode != 1)
        QVERIFY2(result.err.contains(QStringLiteral("wird mit --restore \"%1\" zurückgeholt")
                                         .arg(target.chopped(3) + QStringLiteral("ba0"))),
            qPrintable(result.describe()));
    // The report must not claim totals that the full disk took back.
    const QJsonArray tasks
        = QJsonDocument::fromJson(contentOf(report).value_or(QByteArray())).object()[QStringLiteral("tasks")].toArray();
    QVERIFY2(!tasks.isEmpty(), "no report");
    for (const QJsonValue task : tasks)
        QVERIFY2(!task[QStringLiteral("result")].toString().contains(QStringLiteral("geschrieben")),
            qPrintable(task[QStringLiteral("result")].toString()));
}

void FaultTest::aReadOnlyTargetFolderChangesNothing()
{
    const QString folder = migration_->path(QStringLiteral("klein"));
    QDir().mkpath(folder);
    const QString target = folder + QStringLiteral("/tavik_50.mdb");
    QVERIFY(QFile::copy(targetTemplate_, target));
    migration_->pointAt(migration_->source(), target);
    QString whyNot;
    mount_ = TestMount::readOnly(folder, whyNot);
    if (!mount_) {
        if (::geteuid() == 0)
            QSKIP(qPrintable(
                QStringLiteral("root ignores permission bits, and no read-only mount: %1").arg(whyNot)));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed),
        qPrintable(result.describe()));
    QVERIFY(contentOf(target) == contentOf(targetTemplate_));
    checkNothingLost(target, false);
    if (!mount_)
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void FaultTest::aSourceGoneBeforeStartIsReported()
{
    ScriptedDialogs dialogs;
    QList<int> exitCodes;
    app::WindowSetup setup;
    const QString source = migration_->source();
    const QString target = migration_->target();
    setup.settings = [=](const QString& application, const QString&, const QString&, const QString&) {
        return application == QLatin1String("Tavik 2.0") ? source : target;
    };
    setup.sharedDocumentsFolder = migration_->dataFolder();
    setup.dialogs = &dialogs;
    setup.endProgram = [&exitCodes](int code) { exitCodes.append(code); };
    app::MainWindow window(std::move(setup));
    window.form().Timer2->setInterval(1);
    // The start-up is done, the user has not pressed "Start" yet: now the older file goes away.
    QVERIFY(QFile::rename(source, source + QStringLiteral(".weg")));
    window.form().Command6->click();
    QTRY_COMPARE(exitCodes, QList<int> { 1 });
    QVERIFY(QFile::rename(source + QStringLiteral(".weg"), source));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().text,
             copyFailed + QStringLiteral("\n\nDie Datei \"%1\" ist nicht vorhanden.").arg(QDir::toNativeSeparators(source)));
    QVERIFY(contentOf(target) == contentOf(targetTemplate_));
    checkNothingLost(target, true);
}

void FaultTest::aFileHeldByAnotherProcessIsLeftAlone_data()
{
    QTest::addColumn<bool>("holdTheTarget");
    QTest::addColumn<bool>("exclusively");
    QTest::newRow("target held exclusively") << true << true;
    QTest::newRow("target being read") << true << false;
    QTest::newRow("source held exclusively") << false << true;
    QTest::newRow("source being read") << false << false;
}

void FaultTest::aFileHeldByAnotherProcessIsLeftAlone()
{
    QFETCH(bool, holdTheTarget);
    QFETCH(bool, exclusively);
    LockHolder holder(exclusively ? LockHolder::Mode::Exclusive : LockHolder::Mode::Shared,
        holdTheTarget ? migration_->target() : migration_->source());
    QVERIFY2(holder.waitUntilLocked(), qPrintable(holder.problem()));
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed),
        qPrintable(result.describe()));
    QVERIFY(contentOf(migration_->target()) == contentOf(targetTemplate_));
    // A target in use cannot even be backed up consistently; a source in use does not stop that.
    checkNothingLost(migration_->target(), !holdTheTarget);
}

void FaultTest::aJournalBesideTheSourceStopsTheCopy_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("hot");
    QTest::newRow("hot journal of a cut-off write") << "-journal" << true;
    QTest::newRow("empty journal") << "-journal" << false;
    QTest::newRow("write-ahead log") << "-wal" << false;
}

void FaultTest::aJournalBesideTheSourceStopsTheCopy()
{
    QFETCH(QString, suffix);
    QFETCH(bool, hot);
    if (hot)
        cutOffWrite(migration_->source());
    else
        QVERIFY(writeContent(migration_->source() + suffix, QByteArray()));
    // The snapshot taken in init() is of the file before the damage; this one is what must stay.
    source_ = std::make_unique<FileSnapshot>(migration_->source());
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed),
        qPrintable(result.describe()));
    QVERIFY(contentOf(migration_->target()) == contentOf(targetTemplate_));
    const QStringList leftovers = leftoversIn(migration_->dataFolder(),
        { QStringLiteral("tavik_20.mdb"), QStringLiteral("tavik_50.mdb"),
            QStringLiteral("tavik_20.mdb") + suffix },
        migration_->target());
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(QStringLiteral(", "))));
}

void FaultTest::aJournalLeftBesideTheTargetIsRolledBack_data()
{
    QTest::addColumn<bool>("hot");
    QTest::newRow("hot journal of a cut-off write") << true;
    QTest::newRow("empty journal of a write cut off as it began") << false;
}

void FaultTest::aJournalLeftBesideTheTargetIsRolledBack()
{
    QFETCH(bool, hot);
    // The target as a run killed in task 4 leaves it: a copy of the source, written to half way.
    QVERIFY(QFile::remove(migration_->target()));
    QVERIFY(QFile::copy(sourceTemplate_, migration_->target()));
    if (hot)
        cutOffWrite(migration_->target());
    else
        QVERIFY(writeContent(migration_->target() + QStringLiteral("-journal"), QByteArray()));
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 0, qPrintable(result.describe()));
    QVERIFY(markedImported(migration_->target()));
    const QString backup = migration_->path(QStringLiteral("tavik_50.ba0"));
    const QString difference = firstDifference(backup, sourceTemplate_);
    QVERIFY2(difference.isEmpty(),
        qPrintable(QStringLiteral("the backup is not the rolled-back target: ") + difference));
    checkNothingLost(migration_->target(), false);
}

void FaultTest::aTargetWithoutRoomForItsBackupIsNotReplaced()
{
    // A newer edition's file larger than the older one: the copy would fit where its backup does not.
    const QString source = migration_->source();
    tools::writeOlderEditionFile(source, tools::SampleOptions { 60, 17, {} });
    source_ = std::make_unique<FileSnapshot>(source);
    const QString large = migration_->path(QStringLiteral("gross.mdb"));
    tools::writeNewerEditionFile(large);
    {
        const auto connection = store::Connection::open(large, store::OpenOptions {});
        connection->execute(QStringLiteral("CREATE TABLE \"Ballast\" (\"Daten\" BLOB)"));
        connection->execute(QStringLiteral("INSERT INTO \"Ballast\" VALUES (zeroblob(4000000))"));
    }
    const qint64 targetSize = sizeOf(large);
    const qint64 room = 4 * sizeOf(source) + slack;
    QVERIFY(room < targetSize);
    const QString target = crampedTarget(targetSize + room, room);
    QVERIFY(QFile::remove(target) && QFile::copy(large, target));
    const QByteArray before = contentOf(target).value_or(QByteArray());

    const ProgramResult result = migration_->run({}, fileSizeLimit_);
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed)
            && result.err.contains(QStringLiteral("gesichert")),
        qPrintable(result.describe()));
    QVERIFY(contentOf(target) == before);
    QVERIFY(!QFileInfo::exists(target.chopped(3) + QStringLiteral("ba0")));
}

void FaultTest::aTargetThatCannotBeWrittenIsNotReplaced_data()
{
    QTest::addColumn<QString>("folder");   // below the migration's data folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cause");    // part of the message
    QTest::newRow("a name too long for the journal beside it")
        << "" << QString(246, QLatin1Char('x')) + QStringLiteral(".mdb") << "zu lang";
    QTest::newRow("a path longer than the engine opens")
        << QStringList(4, QString(120, QLatin1Char('o'))).join(QLatin1Char('/')) << "tavik_50.mdb" << "länger als";
    QTest::newRow("a file only another user may change") << "" << "tavik_50.mdb" << "darf nicht geändert werden";
    // The copy would replace the link and leave the file it points to as it was.
    QTest::newRow("a link to the file") << "verknuepft" << "tavik_50.mdb" << "Verknüpfung";
}

// The copy itself would work through a path of any length; the import, which reads the older
// file's settings, would not, after the target had been replaced.
void FaultTest::anOlderFileTheEngineCannotOpenIsNotCopied()
{
    const QString folder = migration_->path(QStringList(4, QString(120, QLatin1Char('o'))).join(QLatin1Char('/')));
    QVERIFY(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/tavik_20.mdb");
    QVERIFY(QFile::rename(migration_->source(), source));
    QVERIFY(migration_->pointAt(source, migration_->target()));
    const QByteArray before = contentOf(migration_->target()).value_or(QByteArray());
    // A check runs on short copies of the files, yet predicts the refusal of the real path.
    const ProgramResult check = migration_->run({ QStringLiteral("--check") });
    QVERIFY2(check.endedByItself && check.exitCode == 3 && check.err.contains(QStringLiteral("länger als")),
        qPrintable(check.describe()));
    const ProgramResult result = migration_->run();
    QVERIFY2(result.endedByItself && result.exitCode == 3 && result.err.contains(QStringLiteral("länger als"))
            && result.err.contains(QStringLiteral("nicht kopiert")),
        qPrintable(result.describe()));
    QCOMPARE(contentOf(migration_->target()).value_or(QByteArray()), before);
    // The log stays beside the target; a later reader learns there that this run failed.
    const QString log = QFileInfo(migration_->target()).path() + QStringLiteral("/tavik-migrate.log");
    QVERIFY(QString::fromUtf8(contentOf(log).value_or(QByteArray())).contains(QStringLiteral("Rückgabewert 3")));
    QVERIFY(QFile::rename(source, migration_->source()));
}

// Not "held open by another program": the lock probe cannot tell, the missing right can.
void FaultTest::anOlderFileTheUserMayNotReadIsNamedSo()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run the program as a user who may not read the file");
    QVERIFY(handOver(QFileInfo(migration_->dataFolder()).path(), unprivilegedUser));
    QVERIFY(::chown(QFile::encodeName(migration_->source()).constData(), 0, 0) == 0);
    QVERIFY(QFile::setPermissions(migration_->source(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const QByteArray before = contentOf(migration_->target()).value_or(QByteArray());
    const ProgramResult result = runProgramAs(unprivilegedUser, migration_->environment(), batchArguments());
    if (result.exitCode == 126 || (result.err.isEmpty() && !result.endedByItself))
        QSKIP("the program cannot be started as another user here");
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(QStringLiteral("keine Berechtigung"))
            && !result.err.contains(QStringLiteral("in Benutzung")),
        qPrintable(result.describe()));
    QCOMPARE(contentOf(migration_->target()).value_or(QByteArray()), before);
}

void FaultTest::aTargetThatCannotBeWrittenIsNotReplaced()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, cause);
    const QString targetFolder = folder.isEmpty() ? migration_->dataFolder() : migration_->path(folder);
    QVERIFY(QDir().mkpath(targetFolder));
    const QString target = targetFolder + QLatin1Char('/') + name;
    if (cause == QStringLiteral("Verknüpfung"))
        QVERIFY(QFile::link(migration_->target(), target));
    else if (target != migration_->target())
        QVERIFY(QFile::rename(migration_->target(), target));
    QVERIFY(migration_->pointAt(migration_->source(), target));
    const QByteArray before = contentOf(target).value_or(QByteArray());
    const bool asAnotherUser = cause.startsWith(QStringLiteral("darf nicht"));
    ProgramResult result;
    if (asAnotherUser) {
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        // Root may change any file; the fault is met by everybody else.
        if (::geteuid() == 0) {
            QVERIFY(handOver(QFileInfo(migration_->dataFolder()).path(), unprivilegedUser));
            result = runProgramAs(unprivilegedUser, migration_->environment(), batchArguments());
            if (result.exitCode == 126 || (result.err.isEmpty() && !result.endedByItself))
                QSKIP("the program cannot be started as another user here");
        } else {
            result = migration_->run();
        }
    } else {
        result = migration_->run();
    }
    QVERIFY2(result.endedByItself && result.exitCode == 1 && result.err.contains(copyFailed) && result.err.contains(cause),
        qPrintable(result.describe()));
    QVERIFY(contentOf(target) == before);
    QVERIFY(!QFileInfo::exists(target.chopped(3) + QStringLiteral("ba0")));
}

void FaultTest::aReportThatDoesNotFitIsSaidAndLeavesNothing()
{
    const QString folder = migration_->path(QStringLiteral("berichte"));
    QVERIFY(QDir().mkpath(folder));
    QString whyNot;
    mount_ = TestMount::smallDisk(folder, 4096, whyNot);
    if (!mount_)
        QSKIP(qPrintable(QStringLiteral("no small disk for the report: %1").arg(whyNot)));
    const QString report = folder + QLatin1Char('/') + reportName;
    const ProgramResult result = migration_->run({ QStringLiteral("--report"), report });
    QVERIFY2(result.endedByItself && result.exitCode == 0
            && result.err.contains(
                QStringLiteral("konnte nicht geschrieben werden: kein Platz mehr auf dem Datenträger.")),
        qPrintable(result.describe()));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void FaultTest::cleanupTestCase()
{
    qInfo().noquote() << QStringLiteral(
        "faults injected: %1, survived with nothing lost: %2, of them ended with "
        "a success message in spite of the fault: %3")
                             .arg(injected_)
                             .arg(survived_)
                             .arg(claimedSuccess_);
}

QTEST_MAIN(FaultTest)
#include "FaultTest.moc"

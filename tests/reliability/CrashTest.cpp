#include "FileState.h"
#include "KilledRun.h"
#include "MigrationProgram.h"
#include "TableComparison.h"
#include "TestMount.h"

#include "store/Connection.h"
#include "tools/SampleHotel.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <limits>

using namespace tavik;
using namespace tavik::reliability;

namespace {

// A short run: every step of it is a kill point, and random moments fall into every task.
constexpr int shortRunReservations = 7000;
constexpr int randomMoments = 30;
// A run whose import lasts long enough for random moments to land well inside its one transaction,
// and right after its commit.
constexpr int longImportReservations = 21000;
// Task 3's and the import's transactions (a journal created and removed by each), the finishing
// step and the report are the last changes of the folder.
constexpr int lastChangesOfTheLongRun = 8;
constexpr int randomMomentsInTheLongImport = 6;
// About 60 points are tried: the short run shows 16 changes of the folder since each write task
// commits once.
constexpr int leastCrashPoints = 40;
// Room for both scenarios' templates and references and one case at a time, with plenty to spare.
constexpr qint64 workDiskBytes = 512LL * 1024 * 1024;
const QString sourceName = QStringLiteral("tavik_20.mdb");
const QString targetName = QStringLiteral("tavik_50.mdb");
const QString backupName = QStringLiteral("tavik_50.ba0");
const QString reportName = QStringLiteral("bericht.json");

quint64 chosenSeed()
{
    bool given = false;
    const quint64 seed = qEnvironmentVariable("TAVIK_CRASH_SEED").toULongLong(&given);
    return given ? seed : QRandomGenerator::system()->generate64();
}

void writeEarlierBackup(const QString& path)
{
    tools::writeNewerEditionFile(path);
    const auto connection = store::Connection::open(path, store::OpenOptions {});
    tools::insertRecord(*connection, QStringLiteral("Einstellungen"),
        { { QStringLiteral("Hotelname"), QStringLiteral("Hotel vom letzten Jahr") } });
}

// One migration with a scenario's templates copied in: the older data file, the newer one and an
// earlier backup of other content beside it, so that the start-up must keep that one too.
class MigrationCase : public MigrationFolder {
public:
    MigrationCase(const QString& parent, const QString& templates)
        : MigrationFolder(parent)
    {
        for (const QString& name : { sourceName, targetName, backupName })
            QFile::copy(templates + QLatin1Char('/') + name, path(name));
    }

    QStringList arguments() const { return batchArguments({ QStringLiteral("--report"), path(reportName) }); }
};

KilledRun runToTheEnd(const MigrationCase& migration)
{
    return runAndKill(migration.environment(), migration.arguments(), migration.dataFolder(),
        KillPoint { std::numeric_limits<int>::max(), 0 });
}

// The files a scenario starts from, and what an uninterrupted run of it did.
struct Scenario {
    QString templates;
    QByteArray targetBytes;
    QByteArray earlierBackupBytes;
    QString referenceTarget;
    QStringList changes;
    QList<qint64> changeMicroseconds;
    qint64 microseconds = 0;

    // A moment of the uninterrupted run between two times, counted from the last change before it.
    KillPoint randomPoint(QRandomGenerator& random, qint64 from, qint64 to) const
    {
        const qint64 at = from + random.bounded(std::max<qint64>(to - from, 1));
        const auto after = std::upper_bound(changeMicroseconds.cbegin(), changeMicroseconds.cend(), at);
        const int change = static_cast<int>(after - changeMicroseconds.cbegin());
        // Four fifths of the way only: later runs are often faster than the reference, and a moment
        // at the very end of a step would come after the program had ended.
        const qint64 then = (at - (change == 0 ? 0 : changeMicroseconds.at(change - 1))) * 4 / 5;
        return KillPoint { change, then };
    }
};

void addKillRow(const KillPoint& point, const QString& name)
{
    QTest::newRow(qPrintable(name)) << point.afterFolderChanges << point.thenMicroseconds;
}

} // namespace

// Kills the batch migration with SIGKILL at every step that shows in its folder and at random
// moments, and checks after each kill that nothing is lost and that a rerun finishes the job.
class CrashTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void survivesAKillAtEachChangeOfItsFolder_data();
    void survivesAKillAtEachChangeOfItsFolder();
    void survivesAKillAtARandomMoment_data();
    void survivesAKillAtARandomMoment();
    void survivesAKillAroundTheImportsCommits_data();
    void survivesAKillAroundTheImportsCommits();
    void enoughCrashPointsWereTried();
    void cleanupTestCase();

private:
    void prepare(Scenario& scenario, const QString& name, int reservations);
    // Counts the kill in kills when it came before the program ended.
    void killRerunAndCheck(const Scenario& scenario, int& kills);
    void checkAfterKill(const Scenario& scenario, const MigrationCase& migration, const FileSnapshot& source);
    void checkAfterRerun(const Scenario& scenario, const MigrationCase& migration, const FileSnapshot& source,
        const ProgramResult& rerun, bool finishedBeforeKill);

    WorkFolder work_ { workDiskBytes };
    Scenario shortRun_;
    Scenario longImport_;
    quint64 seed_ = 0;
    int killsAtChanges_ = 0;
    int killsAtMoments_ = 0;
    int killsAroundCommits_ = 0;
    int survived_ = 0;
};

void CrashTest::initTestCase()
{
    QVERIFY(work_.isValid());
    // A kill loses what the process has not written yet, never what the kernel holds.
    if (!work_.whyOnDisk().isEmpty())
        qInfo().noquote()
            << QStringLiteral("runs on the disk of the temporary folder (%1)").arg(work_.whyOnDisk());
    seed_ = chosenSeed();
    prepare(shortRun_, QStringLiteral("kurz"), shortRunReservations);
    prepare(longImport_, QStringLiteral("lang"), longImportReservations);
    qInfo().noquote() << QStringLiteral("seed %1 (TAVIK_CRASH_SEED repeats it)").arg(seed_);
}

void CrashTest::prepare(Scenario& scenario, const QString& name, int reservations)
{
    scenario.templates = work_.filePath(name);
    QVERIFY(QDir().mkpath(scenario.templates));
    const QString templates = scenario.templates + QLatin1Char('/');
    tools::writeOlderEditionFile(templates + sourceName, tools::SampleOptions { reservations, 2003, {} });
    tools::writeNewerEditionFile(templates + targetName);
    writeEarlierBackup(templates + backupName);
    scenario.targetBytes = contentOf(templates + targetName).value_or(QByteArray());
    scenario.earlierBackupBytes = contentOf(templates + backupName).value_or(QByteArray());

    // An uninterrupted run gives the result every rerun must reach, and the steps to kill it at; a
    // second one shows that result does not depend on the run, and how long a warm run takes.
    MigrationCase reference(work_.path(), scenario.templates);
    const KilledRun run = runToTheEnd(reference);
    QVERIFY(!run.killed && !run.hung && run.exitCode == 0 && !run.folderChanges.isEmpty());
    scenario.changes = run.folderChanges;
    scenario.referenceTarget = work_.filePath(name + QStringLiteral(".mdb"));
    QVERIFY(QFile::copy(reference.path(targetName), scenario.referenceTarget));
    MigrationCase second(work_.path(), scenario.templates);
    const KilledRun secondRun = runToTheEnd(second);
    QCOMPARE(secondRun.exitCode, 0);
    QCOMPARE(firstDifference(second.path(targetName), scenario.referenceTarget), QString());
    QCOMPARE(secondRun.folderChanges.size(), scenario.changes.size());
    // The second run's times: the first one also warms the caches.
    scenario.changeMicroseconds = secondRun.changeMicroseconds;
    scenario.microseconds = secondRun.microseconds;
    qInfo().noquote() << QStringLiteral(
        "uninterrupted run of %1 reservations: %2 changes of its folder in %3 ms")
                             .arg(reservations)
                             .arg(scenario.changes.size())
                             .arg(scenario.microseconds / 1000);
}

void CrashTest::survivesAKillAtEachChangeOfItsFolder_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<qint64>("microseconds");
    for (int change = 1; change <= shortRun_.changes.size(); ++change)
        addKillRow(KillPoint { change, 0 },
            QStringLiteral("%1 %2")
                .arg(change, 3, 10, QLatin1Char('0'))
                .arg(shortRun_.changes.at(change - 1)));
}

void CrashTest::survivesAKillAtEachChangeOfItsFolder()
{
    killRerunAndCheck(shortRun_, killsAtChanges_);
}

void CrashTest::survivesAKillAtARandomMoment_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<qint64>("microseconds");
    QRandomGenerator random(seed_);
    for (int moment = 1; moment <= randomMoments; ++moment) {
        const KillPoint point = shortRun_.randomPoint(random, 0, shortRun_.microseconds);
        addKillRow(point,
            QStringLiteral("%1: %2 ms after change %3")
                .arg(moment, 2, 10, QLatin1Char('0'))
                .arg(point.thenMicroseconds / 1000.0, 0, 'f', 1)
                .arg(point.afterFolderChanges));
    }
}

void CrashTest::survivesAKillAtARandomMoment()
{
    killRerunAndCheck(shortRun_, killsAtMoments_);
}

void CrashTest::survivesAKillAroundTheImportsCommits_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<qint64>("microseconds");
    const int first = std::max(1, int(longImport_.changes.size()) - lastChangesOfTheLongRun + 1);
    for (int change = first; change <= longImport_.changes.size(); ++change)
        addKillRow(KillPoint { change, 0 },
            QStringLiteral("right after %1 %2").arg(change).arg(longImport_.changes.at(change - 1)));
    // The last changes begin before the import; the moments between them fall mostly into its transaction.
    QRandomGenerator random(seed_ + 1);
    const qint64 from = longImport_.changeMicroseconds.at(first - 1);
    for (int moment = 1; moment <= randomMomentsInTheLongImport; ++moment) {
        const KillPoint point = longImport_.randomPoint(random, from, longImport_.microseconds);
        addKillRow(point,
            QStringLiteral("%1 ms after change %2")
                .arg(point.thenMicroseconds / 1000.0, 0, 'f', 1)
                .arg(point.afterFolderChanges));
    }
}

void CrashTest::survivesAKillAroundTheImportsCommits()
{
    killRerunAndCheck(longImport_, killsAroundCommits_);
}

void CrashTest::killRerunAndCheck(const Scenario& scenario, int& kills)
{
    QFETCH(int, change);
    QFETCH(qint64, microseconds);
    MigrationCase migration(work_.path(), scenario.templates);
    const FileSnapshot source(migration.path(sourceName));
    const KilledRun run = runAndKill(migration.environment(), migration.arguments(), migration.dataFolder(),
        KillPoint { change, microseconds });
    QVERIFY2(!run.hung, "the run did not end in two minutes");
    if (!run.killed) {
        // The last changes come as the program ends; a kill that comes later finds nothing to kill.
        QVERIFY2(run.folderChanges.size() >= change,
            qPrintable(QStringLiteral("the run ended by itself after %1 changes: %2")
                           .arg(run.folderChanges.size())
                           .arg(run.folderChanges.join(QStringLiteral(", ")))));
        QSKIP("The run had ended before the kill came");
    }
    ++kills;
    checkAfterKill(scenario, migration, source);
    if (QTest::currentTestFailed())
        return;
    const bool finishedBeforeKill = markedImported(migration.path(targetName));
    const ProgramResult rerun = runProgram(migration.environment(), migration.arguments());
    checkAfterRerun(scenario, migration, source, rerun, finishedBeforeKill);
    if (!QTest::currentTestFailed())
        ++survived_;
}

void CrashTest::checkAfterKill(
    const Scenario& scenario, const MigrationCase& migration, const FileSnapshot& source)
{
    QVERIFY2(source.changes().isEmpty(), qPrintable(source.changes()));
    if (contentOf(migration.path(targetName)) != scenario.targetBytes)
        QVERIFY2(contentOf(migration.path(backupName)) == scenario.targetBytes,
            "the target changed, and its .ba0 does not hold it as it was");
    QVERIFY2(someBackupHolds(migration.path(targetName), scenario.earlierBackupBytes),
        "the earlier backup is lost");
}

void CrashTest::checkAfterRerun(const Scenario& scenario, const MigrationCase& migration,
    const FileSnapshot& source, const ProgramResult& rerun, bool finishedBeforeKill)
{
    // A kill after the finishing step leaves a finished migration, which a rerun leaves alone.
    const int expectedExit = finishedBeforeKill ? 5 : 0;
    QVERIFY2(rerun.endedByItself && rerun.exitCode == expectedExit, qPrintable(rerun.describe()));
    const QString difference = firstDifference(migration.path(targetName), scenario.referenceTarget);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY2(someBackupHolds(migration.path(targetName), scenario.targetBytes),
        "no backup holds the target as it was before the first run");
    QVERIFY2(someBackupHolds(migration.path(targetName), scenario.earlierBackupBytes),
        "the earlier backup is lost");
    const QStringList leftovers = leftoversIn(
        migration.dataFolder(), { sourceName, targetName, reportName }, migration.path(targetName));
    QVERIFY2(leftovers.isEmpty(),
        qPrintable(QStringLiteral("left behind: ") + leftovers.join(QStringLiteral(", "))));
    QVERIFY2(source.changes().isEmpty(), qPrintable(source.changes()));
}

// Runs after all kills; a run of single test functions leaves it out.
void CrashTest::enoughCrashPointsWereTried()
{
    const int killed = killsAtChanges_ + killsAtMoments_ + killsAroundCommits_;
    QVERIFY2(killed >= leastCrashPoints, qPrintable(QStringLiteral("only %1 crash points").arg(killed)));
}

void CrashTest::cleanupTestCase()
{
    qInfo().noquote() << QStringLiteral("crash points survived: %1 of %2 (%3 at changes of the folder, %4 at "
                                        "random moments, %5 around the commits of a long import; seed %6)")
                             .arg(survived_)
                             .arg(killsAtChanges_ + killsAtMoments_ + killsAroundCommits_)
                             .arg(killsAtChanges_)
                             .arg(killsAtMoments_)
                             .arg(killsAroundCommits_)
                             .arg(seed_);
}

QTEST_GUILESS_MAIN(CrashTest)
#include "CrashTest.moc"

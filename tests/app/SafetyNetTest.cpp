#include "store/Connection.h"
#include "store/RunLock.h"
#include "tests/reliability/FileState.h"
#include "tests/reliability/MigrationProgram.h"
#include "tests/reliability/TestMount.h"
#include "tests/support/DamagedPages.h"
#include "tests/support/FolderContent.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <sys/file.h>

#include "AppTestFiles.h"

using namespace tavik;
using reliability::contentOf;
using reliability::ProgramResult;

// What an IT service provider does before, during and after a migration: a check that changes
// nothing and foretells the run, a limit that undoes a bad run, and the undo of a finished one.
class SafetyNetTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<reliability::MigrationFolder> hotel_;
    // The program's temporary folder: a check must leave nothing in it.
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<QTemporaryDir> reports_;

    QString hotelFolder() const { return QFileInfo(hotel_->dataFolder()).path(); }
    QString data(const QString& name) const { return hotel_->path(name); }
    QString report() const { return reports_->filePath(QStringLiteral("bericht.json")); }
    QJsonObject reportJson() const
    {
        return QJsonDocument::fromJson(contentOf(report()).value_or(QByteArray())).object();
    }

    // Run by an office colleague instead of the files' owner, when set.
    bool asColleague_ = false;
    // The temporary folder a run is given, when not temp_.
    QString tempFolder_;

    ProgramResult run(const QStringList& arguments) const
    {
        QProcessEnvironment environment = hotel_->environment();
        environment.insert(QStringLiteral("TMPDIR"), tempFolder_.isEmpty() ? temp_->path() : tempFolder_);
        return asColleague_ ? reliability::runProgramAs(reliability::unprivilegedUser, environment, arguments)
                            : reliability::runProgram(environment, arguments);
    }

    QStringList namesIn(const QString& pattern) const
    {
        return QDir(hotel_->dataFolder()).entryList({ pattern }, QDir::Files);
    }

private slots:
    void init()
    {
        asColleague_ = false;
        hotel_ = std::make_unique<reliability::MigrationFolder>();
        temp_ = std::make_unique<QTemporaryDir>();
        reports_ = std::make_unique<QTemporaryDir>();
        QVERIFY(hotel_->isValid() && temp_->isValid() && reports_->isValid());
        // In the C number format the sample's German rates are skipped: a run with skipped operations.
        tools::writeOlderEditionFile(hotel_->source(), tools::SampleOptions { 80, 21, {} });
        tools::writeNewerEditionFile(hotel_->target());
    }

    void checkChangesNothingAndForetellsTheRun_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QStringList>("further");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("ready") << "" << QStringList {} << 0;
        QTest::newRow("no target yet") << "no target" << QStringList {} << 0;
        QTest::newRow("marked as imported") << "mark" << QStringList {} << 5;
        QTest::newRow("marked as imported, with --force") << "mark" << QStringList { "--force" } << 0;
        QTest::newRow("target is a symbolic link") << "link" << QStringList {} << 1;
        QTest::newRow("another run at work") << "lock" << QStringList {} << 1;
        QTest::newRow("both settings name the older file") << "same file" << QStringList {} << 1;
        QTest::newRow("over --max-skipped") << "" << QStringList { "--max-skipped", "2" } << 6;
        QTest::newRow("within --max-skipped 100%") << "" << QStringList { "--max-skipped", "100%" } << 0;
    }

    void checkChangesNothingAndForetellsTheRun()
    {
        QFETCH(QString, situation);
        QFETCH(QStringList, further);
        QFETCH(int, exitCode);
        if (situation == QLatin1String("no target"))
            QVERIFY(QFile::remove(hotel_->target()));
        if (situation == QLatin1String("mark")) {
            auto connection = store::Connection::open(hotel_->target(), store::OpenOptions {});
            connection->execute(
                QStringLiteral("INSERT INTO \"Einstellungen\" (\"Memo13\") VALUES ('importiert')"));
        }
        if (situation == QLatin1String("link")) {
            QVERIFY(QFile::rename(hotel_->target(), data(QStringLiteral("echt_50.mdb"))));
            QVERIFY(QFile::link(QStringLiteral("echt_50.mdb"), hotel_->target()));
        }
        if (situation == QLatin1String("read-only")) {
            asColleague_ = true;
            for (const QString& folder : { hotelFolder(), temp_->path(), reports_->path() })
                QVERIFY(reliability::handOver(folder, reliability::unprivilegedUser));
            QVERIFY(QFile::setPermissions(
                hotel_->target(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        if (situation == QLatin1String("same file"))
            QVERIFY(hotel_->pointAt(hotel_->source(), hotel_->source()));
        store::RunLock otherRun;
        if (situation == QLatin1String("lock"))
            otherRun = store::RunLock::take(hotel_->target());
        const auto before = testsupport::folderContent(hotelFolder());

        const ProgramResult check
            = run(reliability::batchArguments(QStringList { "--check", "--report", report() } + further));
        QVERIFY2(check.endedByItself && check.exitCode == exitCode, qPrintable(check.describe()));
        QVERIFY2(check.out.startsWith(QStringLiteral("Probelauf: Es wurde nichts geändert")),
            qPrintable(check.describe()));
        QVERIFY(testsupport::folderContent(hotelFolder()) == before);
        QCOMPARE(QDir(temp_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
        QCOMPARE(reportJson()[QStringLiteral("check")].toBool(), true);
        QCOMPARE(reportJson()[QStringLiteral("exitStatus")].toInt(), exitCode);

        const ProgramResult real = run(reliability::batchArguments(further));
        QVERIFY2(real.exitCode == exitCode, qPrintable(real.describe()));
        // Refused before the backup and the log, which would lie beside the older file.
        if (situation == QLatin1String("same file"))
            QVERIFY(testsupport::folderContent(hotelFolder()) == before);
    }

    void checkSaysWhenItsFolderIsTooSmall()
    {
        QString whyNot;
        const auto smallDisk = reliability::TestMount::smallDisk(temp_->path(), 64 * 1024, whyNot);
        if (!smallDisk)
            QSKIP(qPrintable(whyNot));
        const auto before = testsupport::folderContent(hotelFolder());
        const ProgramResult check = run(reliability::batchArguments({ "--check" }));
        QVERIFY2(check.exitCode == 1 && check.err.contains(QStringLiteral("zu wenig Platz"))
                && check.err.contains(QStringLiteral("TMPDIR"))
                && check.out.contains(QStringLiteral("Der Probelauf selbst konnte nicht laufen")),
            qPrintable(check.describe()));
        QVERIFY(testsupport::folderContent(hotelFolder()) == before);
        QCOMPARE(QDir(temp_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    void checkSaysWhenItsFolderIsNoFolder()
    {
        tempFolder_ = temp_->filePath(QStringLiteral("kein-ordner"));
        QVERIFY(reliability::writeContent(tempFolder_, "TMPDIR zeigt auf eine Datei"));
        const ProgramResult check = run(reliability::batchArguments({ "--check" }));
        tempFolder_.clear();
        QVERIFY2(check.exitCode == 1 && check.out.contains(QStringLiteral("Der Probelauf selbst konnte nicht laufen"))
                && check.err.contains(QStringLiteral("Er ist kein Ordner.")) && !check.err.contains(QStringLiteral("QFSFileEngine")),
            qPrintable(check.describe()));
    }

    void copiesOfAKilledCheckAreRemovedByTheNext()
    {
        const QDir temp(temp_->path());
        for (const QString& name :
            { QStringLiteral("tavik-probelauf-tot123"), QStringLiteral("tavik-probelauf-lebt45") }) {
            QVERIFY(temp.mkpath(name + QStringLiteral("/neu")));
            QVERIFY(reliability::writeContent(temp.filePath(name + QStringLiteral("/.laeuft")), {}));
            QVERIFY(QFile::copy(hotel_->target(), temp.filePath(name + QStringLiteral("/neu/tavik_50.mdb"))));
        }
        // A check still at work holds its mark.
        QFile alive(temp.filePath(QStringLiteral("tavik-probelauf-lebt45/.laeuft")));
        QVERIFY(alive.open(QIODevice::ReadOnly) && ::flock(alive.handle(), LOCK_EX | LOCK_NB) == 0);
        const ProgramResult check = run(reliability::batchArguments({ "--check" }));
        QVERIFY2(check.exitCode == 0, qPrintable(check.describe()));
        QCOMPARE(temp.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("tavik-probelauf-lebt45") });
    }

    void overTheLimitPutsTheTargetBack_data()
    {
        QTest::addColumn<bool>("targetBefore");
        QTest::addColumn<bool>("cutOffRunBefore"); // its backup holds the file from before it
        QTest::newRow("a target before the run") << true << false;
        QTest::newRow("no target before the run") << false << false;
        QTest::newRow("a run cut off before this one") << true << true;
    }

    void overTheLimitPutsTheTargetBack()
    {
        QFETCH(bool, targetBefore);
        QFETCH(bool, cutOffRunBefore);
        if (!targetBefore)
            QVERIFY(QFile::remove(hotel_->target()));
        const QByteArray fileBeforeTheCutOffRun = "die Datei vor dem abgebrochenen Lauf";
        if (cutOffRunBefore)
            QVERIFY(reliability::writeContent(data(QStringLiteral("tavik_50.ba0")), fileBeforeTheCutOffRun));
        const std::optional<QByteArray> before = contentOf(hotel_->target());
        const ProgramResult result
            = run(reliability::batchArguments({ "--max-skipped", "1%", "--report", report() }));
        QVERIFY2(result.exitCode == 6, qPrintable(result.describe()));
        QVERIFY2(
            result.err.contains(QStringLiteral("Zu viele übersprungene Vorgänge: ")), qPrintable(result.err));
        QVERIFY2(result.err.contains(QStringLiteral(", erlaubt sind höchstens 0.8 (--max-skipped 1%)")),
            qPrintable(result.err));
        QCOMPARE(contentOf(hotel_->target()), before);
        if (cutOffRunBefore) {
            const QStringList kept = namesIn(QStringLiteral("tavik_50.20*.ba0"));
            QCOMPARE(kept.size(), 1);
            QCOMPARE(contentOf(data(kept.first())), std::optional(fileBeforeTheCutOffRun));
            QVERIFY2(result.err.contains(QStringLiteral("Die Sicherung eines früheren Laufs wurde zu Beginn unter \"%1\" aufbewahrt").arg(data(kept.first()))),
                qPrintable(result.err));
        }

        const QStringList failed = namesIn(QStringLiteral("tavik_50.*.fehlgeschlagen.mdb"));
        QCOMPARE(failed.size(), 1);
        const QString failedCopy = data(failed.first());
        QCOMPARE(testfiles::firstValue(failedCopy, QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")),
            QStringLiteral("80"));
        QVERIFY(!reliability::markedImported(failedCopy));
        const QStringList expected { QStringLiteral("tavik_20.mdb"), QStringLiteral("tavik_50.mdb"),
            failed.first() };
        QCOMPARE(reliability::leftoversIn(hotel_->dataFolder(), expected, hotel_->target()), QStringList());

        const QJsonObject limit = reportJson()[QStringLiteral("maxSkipped")].toObject();
        QCOMPARE(reportJson()[QStringLiteral("exitStatus")].toInt(), 6);
        QCOMPARE(limit[QStringLiteral("exceeded")].toBool(), true);
        QCOMPARE(limit[QStringLiteral("limit")].toString(), QStringLiteral("1%"));
        QVERIFY(limit[QStringLiteral("skipped")].toInt() > 1);
        QCOMPARE(limit[QStringLiteral("failedCopy")].toString(), failedCopy);
        QCOMPARE(limit[QStringLiteral("restoredFrom")].toString(),
            targetBefore ? data(QStringLiteral("tavik_50.ba0")) : QString());
    }

    // A damaged older file never ends as a success: what SQLite's check of every page finds is
    // refused before the copy, and what only reading a record shows undoes the run.
    void aDamagedOlderFileEndsNoRunAsSuccess_data()
    {
        QTest::addColumn<testsupport::PageDamage>("damage");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("copied");
        QTest::newRow("record pointers")
            << testsupport::PageDamage::RecordPointers
            << QStringLiteral("Die Datei \"%1\" ist beschädigt: SQLite fand bei der Prüfung aller Seiten") << false;
        QTest::newRow("record header") << testsupport::PageDamage::RecordHeader
                                       << QStringLiteral("Die Kopie der Tavik 2.0 Datendatei \"%1\" ist beschädigt")
                                       << true;
    }

    void aDamagedOlderFileEndsNoRunAsSuccess()
    {
        QFETCH(testsupport::PageDamage, damage);
        QFETCH(QString, said);
        QFETCH(bool, copied);
        tools::writeOlderEditionFile(hotel_->source(), tools::SampleOptions { 2000, 21, {} });
        QVERIFY(testsupport::damageMiddlePage(hotel_->source(), QStringLiteral("Reservierungen"), damage));
        const std::optional<QByteArray> older = contentOf(hotel_->source());
        const std::optional<QByteArray> before = contentOf(hotel_->target());
        const ProgramResult result = run(reliability::batchArguments({}));
        QVERIFY2(result.exitCode == 3, qPrintable(result.describe()));
        QVERIFY2(result.err.contains(said.arg(hotel_->source())), qPrintable(result.err));
        QCOMPARE(contentOf(hotel_->target()), before);
        QCOMPARE(contentOf(hotel_->source()), older);
        QCOMPARE(namesIn(QStringLiteral("tavik_50.*.fehlgeschlagen.mdb")).size(), copied ? 1 : 0);
    }

    void restoreRoundTrips()
    {
        const QByteArray original = contentOf(hotel_->target()).value();
        QCOMPARE(run(reliability::batchArguments()).exitCode, 0);
        const QByteArray migrated = contentOf(hotel_->target()).value();

        const ProgramResult restore = run({ QStringLiteral("--restore") });
        QVERIFY2(restore.exitCode == 0, qPrintable(restore.describe()));
        QCOMPARE(contentOf(hotel_->target()), original);
        QCOMPARE(contentOf(data(QStringLiteral("tavik_50.ba0"))), original);
        const QStringList kept = namesIn(QStringLiteral("tavik_50.20*.ba0"));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(contentOf(data(kept.first())), migrated);
        QVERIFY2(restore.out.contains(kept.first()), qPrintable(restore.out));

        // The replaced file is a dated backup, so the restore itself is undone the same way.
        const ProgramResult undo
            = run({ QStringLiteral("--batch"), QStringLiteral("--restore"), data(kept.first()) });
        QVERIFY2(undo.exitCode == 0, qPrintable(undo.describe()));
        QCOMPARE(contentOf(hotel_->target()), migrated);
    }

    void restoreTakesOnlyADataFile_data()
    {
        QTest::addColumn<QString>("backup");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString restore = QStringLiteral("--restore");
        QTest::newRow("no backup") << "" << QStringList { restore } << 2 << "Es gibt keine Sicherung";
        QTest::newRow("a text file") << "text" << QStringList { restore } << 2
                                     << "ist keine Datendatei oder ist mit einem unbekannten Kennwort";
        QTest::newRow("the target itself")
            << "" << QStringList { restore, "TARGET" } << 2 << "ist die Tavik 5.0 Datendatei selbst";
        QTest::newRow("the older file under another name")
            << "hard link to the older file" << QStringList { restore } << 2 << "ist die Tavik 2.0 Datendatei";
        QTest::newRow("another run at work")
            << "plain" << QStringList { restore } << 1 << "wird gerade von einem anderen Lauf bearbeitet";
        QTest::newRow("with migration options")
            << "plain" << QStringList { restore, "--vat", "19" } << 2 << "--restore steht für sich allein";
        QTest::newRow("protected with the data-file password")
            << "protected" << QStringList { restore } << 0 << "";
    }

    void restoreTakesOnlyADataFile()
    {
        QFETCH(QString, backup);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString ba0 = data(QStringLiteral("tavik_50.ba0"));
        if (backup == QLatin1String("text"))
            QVERIFY(reliability::writeContent(ba0, "Sicherung vom Montag\n"));
        if (backup == QLatin1String("plain"))
            tools::writeNewerEditionFile(ba0);
        if (backup == QLatin1String("hard link to the older file"))
            QVERIFY(::link(QFile::encodeName(hotel_->source()).constData(), QFile::encodeName(ba0).constData()) == 0);
        if (backup == QLatin1String("protected"))
            tools::writeOlderEditionFile(ba0, tools::SampleOptions { 3, 1, QStringLiteral("quiret") });
        arguments.replaceInStrings(QStringLiteral("TARGET"), hotel_->target());
        store::RunLock otherRun;
        if (message.contains(QStringLiteral("anderen Lauf")))
            otherRun = store::RunLock::take(hotel_->target());
        const auto before = testsupport::folderContent(hotelFolder());

        const ProgramResult result = run(arguments);
        QVERIFY2(result.exitCode == exitCode && result.err.contains(message), qPrintable(result.describe()));
        if (exitCode != 0) {
            QVERIFY(testsupport::folderContent(hotelFolder()) == before);
        } else {
            QCOMPARE(contentOf(hotel_->target()), contentOf(ba0));
        }
    }
};

QTEST_GUILESS_MAIN(SafetyNetTest)
#include "SafetyNetTest.moc"

#include "app/StartUp.h"
#include "app/ShellTasks.h"
#include "app/UserSettings.h"
#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/FileReplace.h"
#include "store/RunLog.h"
#include "store/RunLogFile.h"
#include "store/Transaction.h"
#include "tests/support/SettingsFiles.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::bytesOf;
using testfiles::writeFile;
using testfiles::memo13Of;

namespace {

// A target as task 3 leaves it: the settings table with Memo13 and one settings record.
void makePreparedTarget(const QString& path, bool withSettingsRecord = true)
{
    store::OpenOptions options;
    options.create = true;
    auto connection = store::Connection::open(path, options);
    tools::createNewerEditionTables(*connection);
    if (withSettingsRecord)
        tools::insertRecord(*connection, QStringLiteral("Einstellungen"), {{QStringLiteral("Hotelname"), QStringLiteral("Hotel Post")}});
}

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QTemporaryDir config_;

    QString settingsFile() const { return config_.filePath(QStringLiteral("VB and VBA Program Settings/Tavik 2.0.conf")); }
    void writeSettingsFile(const QByteArray& text)
    {
        QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
        writeFile(settingsFile(), text);
    }

private slots:
    // The settings store of this test's own: QSettings takes the folder at its first use.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path())); }
    void cleanup() { QDir(config_.path()).removeRecursively(); }
    void aStoredPathIsReadAsWritten_data();
    void aStoredPathIsReadAsWritten();
    void aSettingsFileThatCannotBeReadIsNamed_data();
    void aSettingsFileThatCannotBeReadIsNamed();
    void pathsComeFromTheSettingsOrTheirDefaults_data();
    void pathsComeFromTheSettingsOrTheirDefaults();
    void backupKeepsTheTargetAsItWas();
    void aTargetLeftByACrashIsRolledBackBeforeItsBackup_data();
    void aTargetLeftByACrashIsRolledBackBeforeItsBackup();
    void noBackupWithoutATargetOrForAShortPath_data();
    void noBackupWithoutATargetOrForAShortPath();
    void taskOneReplacesTheTarget();
    void finishingStepMarksOnlyTheTarget();
    void finishingStepWithoutASettingsRecordIsAnEngineError();
    void aProtectedCopyCannotBeBound();
    void theLogKeepsOneLinePerEntry();
};

void StartUpTest::pathsComeFromTheSettingsOrTheirDefaults_data()
{
    QTest::addColumn<QString>("storedOld");
    QTest::addColumn<QString>("storedNew");
    QTest::addColumn<QString>("sharedFolder");
    QTest::addColumn<QString>("expectedOld");
    QTest::addColumn<QString>("expectedNew");
    const QString sep = QDir::separator();
    QTest::newRow("nothing stored") << QString() << QString() << "/srv/public"
                                    << app::defaultSourcePath()
                                    << "/srv/public" + sep + "Tavik 5.0 - Daten" + sep + "tavik_50.mdb";
    QTest::newRow("both stored") << "/daten/alt.mdb" << "/daten/neu.mdb" << "/srv/public"
                                 << "/daten/alt.mdb" << "/daten/neu.mdb";
    QTest::newRow("no shared folder") << QString() << QString() << QString()
                                      << app::defaultSourcePath() << sep + "Tavik 5.0 - Daten" + sep + "tavik_50.mdb";
}

void StartUpTest::pathsComeFromTheSettingsOrTheirDefaults()
{
    QFETCH(QString, storedOld);
    QFETCH(QString, storedNew);
    QFETCH(QString, sharedFolder);
    QFETCH(QString, expectedOld);
    QFETCH(QString, expectedNew);
    QStringList asked;
    const app::SettingsReader settings = [&](const QString& application, const QString& section, const QString& key,
                                             const QString& defaultValue) {
        asked << application + '/' + section + '/' + key;
        const QString stored = application == QLatin1String("Tavik 2.0") ? storedOld : storedNew;
        return stored.isNull() ? defaultValue : stored;
    };
    const app::DataPaths paths = app::readDataPaths(settings, sharedFolder);
    QCOMPARE(paths.Datenpfad_alt, expectedOld);
    QCOMPARE(paths.Datenpfad_neu, expectedNew);
    QCOMPARE(asked, (QStringList{"Tavik 2.0/Startup/Datenpfad", "Tavik 5.0/Startup/Datenpfad"}));
}

void StartUpTest::aStoredPathIsReadAsWritten_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    const QByteArray startup = "[Startup]\n";
    QTest::newRow("comma") << startup + "Datenpfad=/daten/Hotel Krone, Bad T\xc3\xb6lz/tavik_20.mdb\n"
                           << QStringLiteral("/daten/Hotel Krone, Bad Tölz/tavik_20.mdb");
    QTest::newRow("semicolon") << startup + "Datenpfad=/daten/Krone; Haus 2/tavik_20.mdb\n" << "/daten/Krone; Haus 2/tavik_20.mdb";
    QTest::newRow("backslashes") << startup + "Datenpfad=C:\\Daten\\neu\\tavik_20.mdb\r\n" << "C:\\Daten\\neu\\tavik_20.mdb";
    QTest::newRow("quotes inside") << startup + "Datenpfad=/daten/\"Krone\"/tavik_20.mdb\n" << "/daten/\"Krone\"/tavik_20.mdb";
    QTest::newRow("two quoted parts") << startup + "Datenpfad=\"/a\", \"b\"\n" << "\"/a\", \"b\"";
    QTest::newRow("quoted, unquoted") << startup + "Datenpfad = \"/daten/Krone, Bad T\xc3\xb6lz\"  \n" << QStringLiteral("/daten/Krone, Bad Tölz");
    QTest::newRow("quoted escapes") << startup + "Datenpfad=\"/d/\\\"K\\\"\\\\x\\ty\\x41\\101\\q\"\n" << "/d/\"K\"\\x\tyAA";
    QTest::newRow("the last in its section counts")
        << "; Kommentar\n[Andere]\nDatenpfad=/falsch\n" + startup + "Datenpfad=/erst\nDatenpfad=/zweit\n[Weitere]\nDatenpfad=/auch falsch\n"
        << "/zweit";
    QTest::newRow("nothing stored") << startup + "Anderes=1\n" << "<default>";
    const QString odd = QStringLiteral("/daten/Hotel \"Krone\", Bad; Tölz\\neu\n\x1b" "1/tavik_20.mdb");
    QTest::newRow("as the test helper writes it") << testsupport::settingsFileText(odd) << odd;
}

void StartUpTest::aStoredPathIsReadAsWritten()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    writeSettingsFile(file);
    QCOMPARE(app::readUserSetting(QStringLiteral("Tavik 2.0"), QStringLiteral("Startup"), QStringLiteral("Datenpfad"),
                                  QStringLiteral("<default>")),
             expected);
}

void StartUpTest::aSettingsFileThatCannotBeReadIsNamed_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder in its place") << QByteArray() << "\" kann nicht gelesen werden (";
    // Not "no value stored": the run would go to the default paths, perhaps another hotel's.
    QTest::newRow("a file in place of its folder") << QByteArray("folder") << "\" kann nicht gelesen werden (";
    QTest::newRow("not UTF-8") << QByteArray("[Startup]\nDatenpfad=/daten/T\xf6lz/tavik_20.mdb\n")
                               << "\" ist ungültig: Sie ist nicht in UTF-8 geschrieben. Es wurde nichts geändert.";
    QTest::newRow("quote not closed") << QByteArray("[Startup]\nDatenpfad=\"/daten/tavik_20.mdb\n")
                                      << "\" ist ungültig: In Zeile 2 fehlt das schließende Anführungszeichen.";
    QTest::newRow("section not closed") << QByteArray("[Startup\nDatenpfad=/daten/tavik_20.mdb\n")
                                        << "\" ist ungültig: Zeile 1 ist weder [Abschnitt] noch Name=Wert.";
    QTest::newRow("line without a value") << QByteArray("[Startup]\nDatenpfad\n") << "\" ist ungültig: Zeile 2 ist weder";
}

void StartUpTest::aSettingsFileThatCannotBeReadIsNamed()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    if (file.isNull())
        QVERIFY(QDir().mkpath(settingsFile()));
    else if (file == "folder")
        QVERIFY(QDir().mkpath(config_.path()) && QFile(QFileInfo(settingsFile()).absolutePath()).open(QIODevice::WriteOnly));
    else
        writeSettingsFile(file);
    try {
        app::readUserSetting(QStringLiteral("Tavik 2.0"), QStringLiteral("Startup"), QStringLiteral("Datenpfad"), QString());
        QFAIL("read without complaint");
    } catch (const app::UnreadableSettings& error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("Die Einstellungsdatei \"%1\"").arg(settingsFile())), qPrintable(error.message()));
        QVERIFY2(error.message().contains(reason), qPrintable(error.message()));
    }
}

void StartUpTest::backupKeepsTheTargetAsItWas()
{
    const QString target = dir_.filePath(QStringLiteral("tavik_50.mdb"));
    writeFile(target, "die Daten von Tavik 5.0");
    writeFile(dir_.filePath(QStringLiteral("tavik_50.ba0")), "eine alte Sicherung");
    const QDateTime now(QDate(2026, 12, 9), QTime(8, 30, 5));
    QCOMPARE(app::backupPathFor(target), dir_.filePath(QStringLiteral("tavik_50.ba0")));
    const app::StartupBackup first = app::makeStartupBackup(target, now);
    QCOMPARE(first.backup, dir_.filePath(QStringLiteral("tavik_50.ba0")));
    QCOMPARE(bytesOf(dir_.filePath(QStringLiteral("tavik_50.ba0"))), QByteArray("die Daten von Tavik 5.0"));
    QCOMPARE(bytesOf(target), QByteArray("die Daten von Tavik 5.0"));
    // The earlier backup differed: it is kept under a dated name, not lost.
    QCOMPARE(first.keptEarlierBackup, dir_.filePath(QStringLiteral("tavik_50.2026-12-09_08-30-05.ba0")));
    QCOMPARE(bytesOf(first.keptEarlierBackup), QByteArray("eine alte Sicherung"));

    // A backup equal to the target is simply replaced; a second difference in the same second gets a number.
    QVERIFY(app::makeStartupBackup(target, now).keptEarlierBackup.isEmpty());
    writeFile(target, "neuere Daten");
    QCOMPARE(app::makeStartupBackup(target, now).keptEarlierBackup, dir_.filePath(QStringLiteral("tavik_50.2026-12-09_08-30-05-2.ba0")));
    QCOMPARE(bytesOf(dir_.filePath(QStringLiteral("tavik_50.ba0"))), QByteArray("neuere Daten"));
}

void StartUpTest::aTargetLeftByACrashIsRolledBackBeforeItsBackup_data()
{
    QTest::addColumn<bool>("pagesReachedTheFile");
    QTest::newRow("crash after pages reached the file") << true;
    QTest::newRow("crash before the journal was synced") << false;
}

void StartUpTest::aTargetLeftByACrashIsRolledBackBeforeItsBackup()
{
    QFETCH(bool, pagesReachedTheFile);
    QTemporaryDir folder;
    const QString live = folder.filePath(QStringLiteral("live.mdb"));
    makePreparedTarget(live);
    {
        auto connection = store::Connection::open(live, store::OpenOptions{});
        store::Transaction transaction(*connection);
        for (int i = 0; i < 5000; ++i)
            tools::insertRecord(*connection, QStringLiteral("Tabelle1"), {{QStringLiteral("Erw1"), QString(40, QLatin1Char('x'))}});
        transaction.commit();
    }
    auto writer = store::Connection::open(live, store::OpenOptions{});
    // A tiny cache makes SQLite write changed pages into the file before the commit.
    writer->execute(pagesReachedTheFile ? QStringLiteral("PRAGMA cache_size = 1") : QStringLiteral("PRAGMA cache_size = 2000"));
    writer->execute(QStringLiteral("BEGIN"));
    writer->execute(QStringLiteral("UPDATE \"Einstellungen\" SET \"Hotelname\" = 'halb geschrieben'"));
    writer->execute(QStringLiteral("UPDATE \"Tabelle1\" SET \"Erw2\" = 'halb'"));
    // The file and its journal as a crash would leave them: nobody holds them any more.
    const QString target = folder.filePath(QStringLiteral("tavik_50.mdb"));
    QVERIFY(QFile::copy(live, target));
    QVERIFY(QFile::copy(live + QStringLiteral("-journal"), target + QStringLiteral("-journal")));
    const QString withoutJournal = folder.filePath(QStringLiteral("ohne_journal.mdb"));
    QVERIFY(QFile::copy(live, withoutJournal));
    writer->execute(QStringLiteral("ROLLBACK"));
    {
        auto raw = store::Connection::open(withoutJournal, store::OpenOptions{});
        store::Statement half = raw->prepare(QStringLiteral("SELECT count(*) > 0 FROM \"Tabelle1\" WHERE \"Erw2\" IS NOT NULL"));
        QVERIFY(half.step());
        QCOMPARE(half.integer(0) == 1, pagesReachedTheFile);
    }

    const app::StartupBackup backup = app::makeStartupBackup(target, QDateTime::currentDateTime());
    QVERIFY(backup.made());
    QVERIFY(!QFile::exists(target + QStringLiteral("-journal")));
    auto check = store::Connection::open(backup.backup, store::OpenOptions{});
    store::Statement name = check->prepare(QStringLiteral("SELECT \"Hotelname\" FROM \"Einstellungen\""));
    QVERIFY(name.step());
    QCOMPARE(name.text(0), QStringLiteral("Hotel Post"));
    store::Statement half = check->prepare(QStringLiteral("SELECT count(*) FROM \"Tabelle1\" WHERE \"Erw2\" IS NOT NULL"));
    QVERIFY(half.step());
    QCOMPARE(half.integer(0), 0);
}

void StartUpTest::noBackupWithoutATargetOrForAShortPath_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("no file yet") << "fehlt/tavik_50.mdb";
    QTest::newRow("two characters") << "ab";
    QTest::newRow("empty") << "";
}

void StartUpTest::noBackupWithoutATargetOrForAShortPath()
{
    QFETCH(QString, target);
    QTemporaryDir folder;
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    if (target == QLatin1String("ab"))
        writeFile(target, "kurz");
    QVERIFY(!app::makeStartupBackup(target, QDateTime::currentDateTime()).made());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), target == QLatin1String("ab") ? 1 : 0);
    QDir::setCurrent(before);
}

void StartUpTest::taskOneReplacesTheTarget()
{
    const QString source = dir_.filePath(QStringLiteral("t1_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("t1_tavik_50.mdb"));
    tools::writeOlderEditionFile(source, tools::SampleOptions{12, 7, {}});
    tools::writeNewerEditionFile(target);
    const QByteArray sourceBytes = bytesOf(source);
    QVERIFY(app::copyDataFile({source, target}));
    QCOMPARE(bytesOf(target), sourceBytes);
    QCOMPARE(bytesOf(source), sourceBytes);
}

void StartUpTest::finishingStepMarksOnlyTheTarget()
{
    const QString source = dir_.filePath(QStringLiteral("f_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("f_tavik_50.mdb"));
    makePreparedTarget(source);
    makePreparedTarget(target);
    const QByteArray sourceBytes = bytesOf(source);
    store::Engine engine(QLocale::c());
    store::DataControls controls(engine);
    app::markImported(controls, target);
    QCOMPARE(memo13Of(target), QStringLiteral("importiert"));
    QCOMPARE(bytesOf(source), sourceBytes);
}

void StartUpTest::finishingStepWithoutASettingsRecordIsAnEngineError()
{
    const QString target = dir_.filePath(QStringLiteral("e_tavik_50.mdb"));
    makePreparedTarget(target, false);
    store::Engine engine(QLocale::c());
    store::DataControls controls(engine);
    QVERIFY_THROWS_EXCEPTION(store::EngineError, app::markImported(controls, target));
}

void StartUpTest::aProtectedCopyCannotBeBound()
{
    const QString target = dir_.filePath(QStringLiteral("p_tavik_50.mdb"));
    tools::writeOlderEditionFile(target, tools::SampleOptions{3, 1, QStringLiteral("quiret")});
    store::Engine engine(QLocale::c());
    store::DataControls controls(engine);
    try {
        app::bindTargetRecordSources(controls, target);
        QFAIL("binding a protected file must fail");
    } catch (const store::EngineError& error) {
        QCOMPARE(error.kind(), store::EngineError::Kind::NotADataFile);
    }
}

void StartUpTest::theLogKeepsOneLinePerEntry()
{
    QTemporaryDir folder;
    const QString path = app::logPathFor(folder.filePath(QStringLiteral("tavik_50.mdb")));
    store::RunLog log;
    app::StartupBackup backup;
    backup.backup = folder.filePath(QStringLiteral("Krone\nBad\x1b[2J/tavik_50.ba0"));
    app::noteBackups(backup, log);
    store::RunLogFile file(path, log.notes());
    log.addSink(file);
    const store::SkippedOperation odd { store::RunTask::Import, QStringLiteral("Steuersatz lesen"),
        QStringLiteral("Reservierungen"), 7, QStringLiteral("Re18"), QStringLiteral("M\u00fcl\nler\x1b[31m"),
        QStringLiteral("keine Zahl") };
    const QString oddLine = QStringLiteral("4. Daten importieren \u2013 Steuersatz lesen \u2013 Tabelle Reservierungen \u2013 "
                                           "Datensatz 7 \u2013 Feld Re18 \u2013 Wert \"M\u00fcl\\nler\\x1b[31m\" \u2013 keine Zahl");
    // More than the log keeps in memory: the file still lists every one, in order, between the
    // notes known at the start and those of the end.
    QStringList expected { QStringLiteral("Sicherung der Tavik 5.0 Datendatei: ")
        + folder.filePath(QStringLiteral("Krone\\nBad\\x1b[2J/tavik_50.ba0")) };
    for (int key = 1; key <= store::RunLog::keptEntries + 5; ++key) {
        log.skipped(store::SkippedOperation { store::RunTask::Fields, {}, QStringLiteral("Tabelle1"), key,
            QStringLiteral("Feld%1").arg(key), {}, QStringLiteral("gesperrt") });
        expected << QStringLiteral("3. Datenfelder zuf\u00fcgen \u2013 Tabelle Tabelle1 \u2013 Datensatz %1 \u2013 Feld Feld%1 \u2013 gesperrt").arg(key);
    }
    log.skipped(odd);
    log.note(QStringLiteral("Der Lauf endete mit R\u00fcckgabewert 4:\nEnde"));
    expected << oddLine << QStringLiteral("\u00dcbersprungene Vorg\u00e4nge: %1").arg(store::RunLog::keptEntries + 6)
             << QStringLiteral("Der Lauf endete mit R\u00fcckgabewert 4:\\nEnde") << QString();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList()); // named only when complete
    QVERIFY(file.finish(log.notes()));
    log.skipped(odd);
    QCOMPARE(QString::fromUtf8(bytesOf(path)).split(QLatin1Char('\n')), expected);
    QCOMPARE(store::fileModeOf(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});
    QCOMPARE(log.firstSkipped().size(), store::RunLog::keptEntries);
    QCOMPARE(int(log.skippedCount(store::RunTask::Fields)), store::RunLog::keptEntries + 5);
}

QTEST_GUILESS_MAIN(StartUpTest)
#include "StartUpTest.moc"

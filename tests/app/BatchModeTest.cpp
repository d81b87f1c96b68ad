#include "store/Connection.h"
#include "tests/support/SettingsFiles.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

#include <signal.h>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::bytesOf;
using testfiles::firstValue;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

// Drives the real executable as a script would, on sample files whose paths it finds in its
// settings store.
class BatchModeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString source_;
    QString target_;

    Outcome run(const QStringList& arguments, const QString& locale = QStringLiteral("C.UTF-8"), const QByteArray& input = {})
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("LC_ALL"), locale);
        environment.remove(QStringLiteral("DISPLAY"));
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("TAVIK_PROGRAM"), arguments);
        program.write(input);
        program.closeWriteChannel();
        program.waitForFinished(120000);
        return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()), QString::fromUtf8(program.readAllStandardError())};
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        source_ = dir_->filePath(QStringLiteral("tavik_20.mdb"));
        target_ = dir_->filePath(QStringLiteral("tavik_50.mdb"));
        tools::writeOlderEditionFile(source_, tools::SampleOptions{80, 21, {}});
        tools::writeNewerEditionFile(target_);
        QVERIFY(testsupport::writeSettingsFile(
            dir_->filePath(QStringLiteral("config")), QStringLiteral("Tavik 2.0"), source_));
        QVERIFY(testsupport::writeSettingsFile(
            dir_->filePath(QStringLiteral("config")), QStringLiteral("Tavik 5.0"), target_));
    }

    void migratesAndReportsWhatItDid_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("rateText");
        QTest::newRow("German number format") << "de_DE.UTF-8" << ",";
        QTest::newRow("C number format") << "C" << ".";
    }

    void migratesAndReportsWhatItDid()
    {
        QFETCH(QString, locale);
        QFETCH(QString, rateText);
        const QByteArray sourceBytes = bytesOf(source_);
        const QString report = dir_->filePath(QStringLiteral("bericht.json"));
        const Outcome outcome = run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("7"),
                                     QStringLiteral("--report"), report}, locale);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.startsWith(QStringLiteral("Sie können jetzt Tavik 5.0 starten\n")));
        QVERIFY(outcome.out.contains(QStringLiteral("4. Daten importieren")));
        QCOMPARE(outcome.err, QString());
        QCOMPARE(bytesOf(source_), sourceBytes);
        QCOMPARE(firstValue(target_, QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\"")), QStringLiteral("importiert"));

        const QJsonObject json = QJsonDocument::fromJson(bytesOf(report)).object();
        QCOMPARE(json[QStringLiteral("exitStatus")].toInt(), 0);
        QCOMPARE(json[QStringLiteral("target")].toString(), target_);
        QCOMPARE(json[QStringLiteral("backup")].toString(), dir_->filePath(QStringLiteral("tavik_50.ba0")));
        const QJsonArray tasks = json[QStringLiteral("tasks")].toArray();
        const QJsonObject import = tasks.at(4).toObject();
        QCOMPARE(import[QStringLiteral("name")].toString(), QStringLiteral("4. Daten importieren"));
        QCOMPARE(import[QStringLiteral("counts")].toObject()[QStringLiteral("reservations")].toInt(), 80);
        const int lines = import[QStringLiteral("counts")].toObject()[QStringLiteral("chargeLines")].toInt();
        QCOMPARE(QString::number(lines), firstValue(target_, QStringLiteral("SELECT count(*) FROM \"Verzehr\" WHERE \"Ver10\" = 'ZR'")));
        const QJsonObject vat = tasks.at(2).toObject()[QStringLiteral("counts")].toObject();
        const QString rated = QStringLiteral("SELECT count(*) FROM \"Artikel\" WHERE \"Art7\" = '7'");
        QCOMPARE(firstValue(target_, rated).toInt(), firstValue(source_, rated).toInt() + vat[QStringLiteral("articlesGivenRate")].toInt());
        QVERIFY(vat[QStringLiteral("articlesGivenRate")].toInt() > 0);
        // Totals are written in the user's number format wherever they have decimals.
        const QString withDecimals = firstValue(target_, QStringLiteral("SELECT \"Re17\" FROM \"Reservierungen\" WHERE \"Re17\" GLOB '*[.,]*' LIMIT 1"));
        QVERIFY2(withDecimals == QStringLiteral("<none>") || withDecimals.contains(rateText), qPrintable(withDecimals));
    }

    void anotherSourceIsTakenAsTheMenuTakesIt_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("protected, loses its password") << "quiret";
        QTest::newRow("no password, nothing to remove") << "";
    }

    void anotherSourceIsTakenAsTheMenuTakesIt()
    {
        QFETCH(QString, password);
        const QString chosen = dir_->filePath(QStringLiteral("Sicherung_TAVIK_20.MDB"));
        tools::writeOlderEditionFile(chosen, tools::SampleOptions{12, 4, password});
        const QString report = dir_->filePath(QStringLiteral("bericht.json"));
        const Outcome outcome = run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19"), QStringLiteral("--source"), chosen,
                                     QStringLiteral("--report"), report});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(firstValue(target_, QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")), QStringLiteral("12"));
        QCOMPARE(firstValue(chosen, QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")), QStringLiteral("12"));
        QVERIFY2(!outcome.out.contains(QStringLiteral("Übersprungene Vorgänge")), qPrintable(outcome.out));
        QCOMPARE(QJsonDocument::fromJson(bytesOf(report)).object()[QStringLiteral("skipped")].toArray().size(), 0);
    }

    void controlCharactersAreWrittenOutButKeptInTheReport()
    {
        // A rate that is no number is skipped and shown with its value; the folder's name is shown too.
        const QString value = QStringLiteral("7\n\x1b[2J\u202e");
        {
            auto connection = store::Connection::open(source_, store::OpenOptions{});
            store::Statement update = connection->prepare(QStringLiteral(
                "UPDATE \"Reservierungen\" SET \"Re18\" = ?1, \"Erw16\" = NULL WHERE \"ID\" = (SELECT min(\"ID\") FROM \"Reservierungen\")"));
            update.bind(1, value);
            update.run();
        }
        const QString folder = dir_->filePath(QStringLiteral("Hotel\x1b[31m\nKrone"));
        QVERIFY(QDir().mkpath(folder));
        const QString chosen = folder + QStringLiteral("/tavik_20.mdb");
        QVERIFY(QFile::copy(source_, chosen));
        const QString report = dir_->filePath(QStringLiteral("bericht.json"));
        const Outcome outcome = run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19"), QStringLiteral("--source"), chosen,
                                     QStringLiteral("--report"), report});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(outcome.out.contains(QStringLiteral("Wert \"7\\n\\x1b[2J\\u202e\"")), qPrintable(outcome.out));
        QVERIFY2(outcome.out.contains(QStringLiteral("Hotel\\x1b[31m\\nKrone/tavik_20.mdb")), qPrintable(outcome.out));
        QVERIFY(!outcome.out.contains(QChar(0x1b)));
        QVERIFY(!outcome.out.contains(QChar(0x202e)));

        const QJsonObject json = QJsonDocument::fromJson(bytesOf(report)).object();
        QCOMPARE(json[QStringLiteral("source")].toString(), chosen);
        const QJsonArray skipped = json[QStringLiteral("skipped")].toArray();
        QVERIFY(!skipped.isEmpty());
        QCOMPARE(skipped[0].toObject()[QStringLiteral("value")].toString(), value);
        // The log beside the target lists it too, written out as on the terminal.
        const QString log = QString::fromUtf8(bytesOf(QFileInfo(target_).dir().filePath(QStringLiteral("tavik-migrate.log"))));
        QVERIFY2(log.contains(QStringLiteral("Wert \"7\\n\\x1b[2J\\u202e\"")), qPrintable(log));
    }

    void pathsAreTakenAsTheSettingsFileHoldsThem()
    {
        // Written by hand, unquoted, as a hotel names its folder.
        const QString folder = dir_->filePath(QStringLiteral("Hotel Krone, Bad Tölz; \"Haus 2\""));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::rename(source_, folder + QStringLiteral("/tavik_20.mdb")));
        source_ = folder + QStringLiteral("/tavik_20.mdb");
        testfiles::writeFile(dir_->filePath(QStringLiteral("config/VB and VBA Program Settings/Tavik 2.0.conf")),
                             QStringLiteral("[Startup]\nDatenpfad=%1\n").arg(source_).toUtf8());
        const QString report = dir_->filePath(QStringLiteral("bericht.json"));
        const Outcome outcome = run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19"), QStringLiteral("--report"), report});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(bytesOf(report)).object()[QStringLiteral("source")].toString(), source_);
        QCOMPARE(firstValue(target_, QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")), QStringLiteral("80"));
    }

    void failuresEndWithTheirExitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("targetUnchanged");
        const QString batch = QStringLiteral("--batch");
        const QString vat = QStringLiteral("--vat");
        QTest::newRow("empty VAT answer") << QStringList{batch, vat, ""} << "" << 2
                                          << "Falscher Wert: Die MwSt. für Speisen und Getränke (--vat) darf nicht leer sein." << true;
        QTest::newRow("no VAT answer and no terminal") << QStringList{batch} << "" << 2
                                                       << "Ohne Terminal kann nicht danach gefragt werden, bitte mit --vat angeben." << true;
        QTest::newRow("VAT twice") << QStringList{batch, vat, "19", vat, "7"} << "" << 2 << "--vat ist mehrfach angegeben" << true;
        QTest::newRow("VAT twice, once with =") << QStringList{batch, "--vat=19", vat, "7"} << "" << 2 << "--vat ist mehrfach angegeben" << true;
        QTest::newRow("report twice") << QStringList{batch, vat, "19", "--report", "a.json", "--report", "b.json"} << "" << 2
                                      << "--report ist mehrfach angegeben" << true;
        QTest::newRow("source twice") << QStringList{batch, vat, "19", "--source", "/a/tavik_20.mdb", "--source", "/b/tavik_20.mdb"} << ""
                                      << 2 << "--source ist mehrfach angegeben" << true;
        QTest::newRow("a source with a wrong name") << QStringList{batch, vat, "19", "--source", "/daten/tavik_50.mdb"} << ""
                                                    << 2 << "/daten/tavik_50.mdb   ist die falsche Datei, bitte suchen Sie  TAVIK_20.MDB" << true;
        QTest::newRow("an unknown option") << QStringList{batch, "--schnell"} << "" << 2 << "Unbekannte Angabe: --schnell" << true;
        QTest::newRow("help with a typo after it")
            << QStringList { "--help", "--schnell" } << "" << 2 << "--help steht allein" << true;
        QTest::newRow("version with a value")
            << QStringList { "--version=2" } << "" << 2 << "--version steht allein" << true;
        QTest::newRow("a chosen source that is not there")
            << QStringList { batch, vat, "19", "--source", "/nirgends/tavik_20.mdb" } << "" << 2
            << "ist nicht vorhanden. Es wurde nichts geändert." << true;
        QTest::newRow("a data path stored empty")
            << QStringList { batch, vat, "19" } << "empty target path" << 2
            << "von Tavik 5.0 ist der Datenpfad (Startup/Datenpfad) leer eingetragen" << true;
        QTest::newRow("a flag with a value")
            << QStringList { "--batch=1", vat, "19" } << "" << 2 << "--batch nimmt keinen Wert" << true;
        QTest::newRow("VAT forgotten before another option") << QStringList{batch, vat, "--force"} << "" << 2 << "Zu --vat fehlt der Wert." << true;
        QTest::newRow("force twice") << QStringList{batch, vat, "19", "--force", "--force"} << "" << 2 << "--force ist mehrfach angegeben" << true;
        QTest::newRow("empty report path") << QStringList{batch, vat, "19", "--report", ""} << "" << 2 << "Zu --report fehlt der Wert." << true;
        QTest::newRow("a report folder that takes no files") << QStringList{batch, vat, "19", "--report", "/proc/bericht.json"} << "" << 2
                                                             << "Der Bericht kann nicht nach \"/proc/bericht.json\" geschrieben werden. In den Ordner \"/proc\"" << true;
        QTest::newRow("a wrong name with an escape sequence") << QStringList{batch, vat, "19", "--source", "/daten/\x1b[2Jx.mdb"} << ""
                                                              << 2 << "/daten/\\x1b[2Jx.mdb   ist die falsche Datei" << true;
        QTest::newRow("an unknown option with a line break") << QStringList{batch, "--schnell\nweiter"} << "" << 2
                                                             << "Unbekannte Angabe: --schnell\\nweiter\n" << true;
        const QString limit = QStringLiteral("--max-skipped");
        const QString limitRefused = QStringLiteral("Falscher Wert für --max-skipped: \"%1\". Erlaubt sind");
        QTest::newRow("limit not a number") << QStringList{batch, vat, "19", limit, "abc"} << "" << 2 << limitRefused.arg("abc") << true;
        QTest::newRow("limit negative") << QStringList{batch, vat, "19", limit, "-1"} << "" << 2 << limitRefused.arg("-1") << true;
        QTest::newRow("limit over 100%") << QStringList{batch, vat, "19", limit, "101%"} << "" << 2 << limitRefused.arg("101%") << true;
        QTest::newRow("limit empty") << QStringList{batch, vat, "19", "--max-skipped="} << "" << 2 << "Zu --max-skipped fehlt der Wert." << true;
        QTest::newRow("limit twice") << QStringList{batch, vat, "19", limit, "5", limit, "5"} << "" << 2 << "--max-skipped ist mehrfach angegeben" << true;
        QTest::newRow("check without --batch") << QStringList{"--check", vat, "19"} << "" << 2 << "gelten nur mit --batch" << true;
        QTest::newRow("restore twice") << QStringList{"--restore", "--restore"} << "" << 2 << "--restore ist mehrfach angegeben" << true;
        QTest::newRow("source missing") << QStringList{batch, vat, "19"} << "remove source" << 1 << "Datendatei ist geöffnet\nDie Datei \"" << true;
        QTest::newRow("protected source") << QStringList{batch, vat, "19"} << "protect source" << 3
                                          << "ist mit einem Kennwort geschützt oder ist keine Datendatei." << false;
        QTest::newRow("settings file not valid") << QStringList{batch, vat, "19"} << "break settings" << 2
                                                 << "Tavik 2.0.conf\" ist ungültig: In Zeile 2 fehlt das schließende Anführungszeichen." << true;
        QTest::newRow("already imported") << QStringList{batch, vat, "19"} << "mark target" << 5 << "ist bereits importiert" << true;
    }

    void failuresEndWithTheirExitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, damage);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(bool, targetUnchanged);
        if (damage == QLatin1String("remove source"))
            QFile::remove(source_);
        if (damage == QLatin1String("protect source"))
            tools::writeOlderEditionFile(source_, tools::SampleOptions{5, 1, QStringLiteral("quiret")});
        if (damage == QLatin1String("break settings"))
            testfiles::writeFile(dir_->filePath(QStringLiteral("config/VB and VBA Program Settings/Tavik 2.0.conf")), "[Startup]\nDatenpfad=\"/a\n");
        if (damage == QLatin1String("empty target path"))
            testfiles::writeFile(dir_->filePath(QStringLiteral("config/VB and VBA Program Settings/Tavik 5.0.conf")),
                "[Startup]\nDatenpfad=\n");
        if (damage == QLatin1String("mark target")) {
            auto connection = store::Connection::open(target_, store::OpenOptions{});
            connection->execute(QStringLiteral("INSERT INTO \"Einstellungen\" (\"memo13\") VALUES ('importiert')"));
        }
        const QByteArray targetBytes = bytesOf(target_);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QVERIFY(!outcome.err.contains(QChar(0x1b)));
        QCOMPARE(outcome.out, QString());
        if (targetUnchanged) {
            QCOMPARE(bytesOf(target_), targetBytes);
            QVERIFY(damage == QLatin1String("remove source") || !QFile::exists(dir_->filePath(QStringLiteral("tavik_50.ba0"))));
        }
    }

    void forceReplacesAnImportedTarget()
    {
        QCOMPARE(run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19")}).exitCode, 0);
        QCOMPARE(run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19")}).exitCode, 5);
        const Outcome forced = run({QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("19"), QStringLiteral("--force")});
        QCOMPARE(forced.exitCode, 0);
        // The replaced target, marked by the first run, is what the start-up backup now holds.
        QCOMPARE(firstValue(dir_->filePath(QStringLiteral("tavik_50.ba0")), QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\"")),
                 QStringLiteral("importiert"));
    }

    void theQuestionIsAskedOnATerminal()
    {
        // script(1) gives the program a terminal as stdin; Enter takes the default.
        QProcess terminal;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        terminal.setProcessEnvironment(environment);
        const QString command = QStringLiteral("'%1' --batch").arg(qEnvironmentVariable("TAVIK_PROGRAM"));
        terminal.start(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
        QVERIFY(terminal.waitForStarted());
        QByteArray shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += terminal.readAllStandardOutput()).contains("[19]"), 20000);
        terminal.write("\n");
        QVERIFY(terminal.waitForFinished(60000));
        QCOMPARE(terminal.exitCode(), 0);
        QVERIFY(firstValue(target_, QStringLiteral("SELECT count(*) FROM \"Artikel\" WHERE \"Art7\" IS NULL OR \"Art7\" = ''")) == QStringLiteral("0"));
    }

    void helpAndVersion()
    {
        const Outcome help = run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("Rückgabewerte:")));
        QVERIFY(help.out.contains(QStringLiteral("  6  mehr übersprungene Vorgänge als --max-skipped erlaubt")));
        const Outcome version = run({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith(QStringLiteral("tavik-migrate ")));
    }

    // Ctrl+C or SIGTERM in the middle of the walk: the run says so, leaves no check copies with
    // guests' data behind, and a real run names the way back to the file it replaced.
    void aStoppedRunCleansUpAndSaysWhere_data()
    {
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("whileCopyingForTheCheck");
        QTest::newRow("real run, Ctrl+C") << false << SIGINT << false;
        QTest::newRow("check, SIGTERM") << true << SIGTERM << false;
        // Before the first task: the guests' data must not stay in the temporary folder.
        QTest::newRow("check, SIGTERM while copying") << true << SIGTERM << true;
    }

    void aStoppedRunCleansUpAndSaysWhere()
    {
        QFETCH(bool, check);
        QFETCH(int, signal);
        QFETCH(bool, whileCopyingForTheCheck);
        // Large enough that the walk is still going when its journal is seen.
        tools::writeOlderEditionFile(source_, tools::SampleOptions { 40000, 5, {}, 10 });
        if (whileCopyingForTheCheck) {
            // Old data that takes the check's copy long enough to be caught at it.
            auto older = tavik::store::Connection::open(source_, tavik::store::OpenOptions {});
            older->execute(QStringLiteral("CREATE TABLE Altdaten (Inhalt)"));
            older->execute(QStringLiteral("INSERT INTO Altdaten VALUES (zeroblob(200000000))"));
        }
        const QByteArray targetBefore = bytesOf(target_);
        const QString temporary = dir_->filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(temporary));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        program.setProcessEnvironment(environment);
        const QString report = dir_->filePath(QStringLiteral("bericht.json"));
        QStringList arguments { QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("7"),
            QStringLiteral("--report"), report };
        if (check)
            arguments << QStringLiteral("--check");
        program.start(qEnvironmentVariable("TAVIK_PROGRAM"), arguments);
        QVERIFY(program.waitForStarted());
        // Deep in the walk, which has skipped odd values by then: no task before it changes a
        // megabyte of pages, which its journal keeps.
        const auto walking = [&] {
            if (whileCopyingForTheCheck)
                return !QDir(temporary).isEmpty();
            QDirIterator journals(check ? temporary : dir_->path(), { QStringLiteral("*-journal") }, QDir::Files,
                QDirIterator::Subdirectories);
            while (journals.hasNext()) {
                if (QFileInfo(journals.next()).size() > 1024 * 1024)
                    return true;
            }
            return false;
        };
        QElapsedTimer waited;
        waited.start();
        while (!walking() && program.state() == QProcess::Running && waited.elapsed() < 60000)
            QThread::msleep(2);
        QVERIFY2(program.state() == QProcess::Running, "the run ended before it could be stopped");
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("Der Lauf wurde abgebrochen")), qPrintable(err));
        QCOMPARE(QDir(temporary).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!QFileInfo::exists(target_ + QStringLiteral("-journal")));
        // The task that was cut off counts what the report lists for it.
        const QJsonObject written = QJsonDocument::fromJson(bytesOf(report)).object();
        for (const QJsonValue task : written[QStringLiteral("tasks")].toArray()) {
            const QJsonArray listed = written[QStringLiteral("skipped")].toArray();
            const auto ofTask = std::count_if(listed.begin(), listed.end(),
                [&](const QJsonValue& entry) { return entry[QStringLiteral("task")] == task[QStringLiteral("name")]; });
            QCOMPARE(task[QStringLiteral("skipped")].toInt(), int(ofTask));
        }
        if (check) {
            QCOMPARE(bytesOf(target_), targetBefore);
            return;
        }
        QVERIFY2(err.contains(QStringLiteral("--restore \"%1\"").arg(dir_->filePath(QStringLiteral("tavik_50.ba0")))),
            qPrintable(err));
        QVERIFY(firstValue(target_, QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\""))
            != QStringLiteral("importiert"));
    }

    // The batch mode needs nothing but the program; the window says what is missing for it.
    void aProgramWithoutItsWindowStillRunsBatches()
    {
        const QString alone = dir_->filePath(QStringLiteral("bin/tavik-migrate"));
        QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("bin"))));
        QVERIFY(QFile::copy(qEnvironmentVariable("TAVIK_PROGRAM"), alone));
        QProcess window;
        window.start(alone, {});
        QVERIFY(window.waitForFinished(30000));
        QCOMPARE(window.exitCode(), 127);
        QVERIFY(QString::fromUtf8(window.readAllStandardError())
                    .contains(QStringLiteral("Das Fenster kann nicht geöffnet werden: Das Programm \"%1\" fehlt.")
                                  .arg(dir_->filePath(QStringLiteral("libexec/tavik-migrate/tavik-migrate-window")))));
        QProcess batch;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath(QStringLiteral("config")));
        batch.setProcessEnvironment(environment);
        batch.start(alone, { QStringLiteral("--batch"), QStringLiteral("--vat"), QStringLiteral("7") });
        QVERIFY(batch.waitForFinished(120000));
        QCOMPARE(batch.exitCode(), 0);
    }

    // Over SSH there is no display: one German line and the way to run without the window, not
    // Qt's English account and an abort.
    void aWindowWithoutADisplaySaysSoInGerman_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none set") << QString() << QStringLiteral("Es ist keine Anzeige eingestellt");
        QTest::newRow("unreachable") << QStringLiteral(":97")
                                     << QStringLiteral("Die Anzeige \":97\" ist nicht erreichbar");
    }

    void aWindowWithoutADisplaySaysSoInGerman()
    {
        QFETCH(QString, display);
        QFETCH(QString, expected);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_->filePath(QStringLiteral("config")));
        QProcess window;
        window.setProcessEnvironment(environment);
        window.start(qEnvironmentVariable("TAVIK_PROGRAM"), {});
        QVERIFY(window.waitForFinished(30000));
        const QString err = QString::fromUtf8(window.readAllStandardError());
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 127);
        QVERIFY2(err.contains(expected) && err.contains(QStringLiteral("tavik-migrate --batch")), qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("qt.qpa")) && !err.contains(QStringLiteral("application failed")),
            qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(BatchModeTest)
#include "BatchModeTest.moc"

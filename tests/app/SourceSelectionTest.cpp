#include "tests/support/ScriptedDialogs.h"

#include "app/SourceSelection.h"
#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "tests/support/TableRows.h"
#include "tools/SampleHotel.h"

#include <QTemporaryDir>
#include <QtTest>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::bytesOf;
using testsupport::ScriptedDialogs;
namespace selection = app::sourceSelection;

namespace {

// Every record of the tables a migration reads, as text, to compare a file before and after.
QStringList contentOf(const QString& path, const QString& password = {})
{
    QStringList rows;
    for (const QString table : { "Reservierungen", "Einstellungen", "Artikel", "Verzehr" }) {
        for (const QString& row : testsupport::rows(path, table, {}, password))
            rows << table + QLatin1Char('|') + row;
    }
    return rows;
}

} // namespace

class SourceSelectionTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    ScriptedDialogs dialogs_;
    store::Engine engine_{QLocale::c()};
    store::RunLog log_;
    app::DataPaths paths_{QStringLiteral("/opt/Tavik 2.0/tavik_20.mdb"), QStringLiteral("/srv/tavik_50.mdb")};

private slots:
    void init()
    {
        dialogs_ = ScriptedDialogs();
        paths_.Datenpfad_alt = QStringLiteral("/opt/Tavik 2.0/tavik_20.mdb");
    }
    void onlyTheNineEndingsPass_data();
    void onlyTheNineEndingsPass();
    void aProtectedFileLosesItsPasswordAndNothingElse_data();
    void aProtectedFileLosesItsPasswordAndNothingElse();
    void aFileWithAnotherPasswordOrNoneStaysAsItIs_data();
    void aFileWithAnotherPasswordOrNoneStaysAsItIs();
    void theSameFileTwiceChangesNothingTheSecondTime();
    void aCancelledDialogIsRefusedAndChangesNothing();
};

void SourceSelectionTest::onlyTheNineEndingsPass_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    for (const char* ending : {"20.MDB", "20.mdb", "20.ba1", "20.ba2", "20.ba3", "20.ba4", "20.ba5", "20.ba6", "20.ba7"})
        QTest::addRow("ending %s", ending) << QStringLiteral("/daten/Tavik_%1").arg(QLatin1String(ending)) << true;
    QTest::newRow("mixed case 20.Mdb") << "/daten/tavik_20.Mdb" << false;
    QTest::newRow("upper case backup 20.BA1") << "/daten/tavik_20.BA1" << false;
    QTest::newRow("start-up backup 20.ba0") << "/daten/tavik_20.ba0" << false;
    QTest::newRow("newer edition 50.mdb") << "/daten/tavik_50.mdb" << false;
    QTest::newRow("only the ending counts") << "x20.mdb" << true;
    QTest::newRow("five characters") << "0.mdb" << false;
    QTest::newRow("nothing") << "" << false;
}

void SourceSelectionTest::onlyTheNineEndingsPass()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QCOMPARE(selection::isAcceptedName(name), accepted);
}

void SourceSelectionTest::aProtectedFileLosesItsPasswordAndNothingElse_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("data file") << "tavik_20.mdb";
    QTest::newRow("backup 3") << "tavik_20.ba3";
}

void SourceSelectionTest::aProtectedFileLosesItsPasswordAndNothingElse()
{
    QFETCH(QString, name);
    QTemporaryDir folder;
    const QString file = folder.filePath(name);
    tools::writeOlderEditionFile(file, tools::SampleOptions{25, 9, QStringLiteral("quiret")});
    const QStringList before = contentOf(file, QStringLiteral("quiret"));
    store::DataControls controls(engine_);
    dialogs_.fileChoices = QStringList{file};

    store::RunLog log;
    QVERIFY(selection::choose(dialogs_, engine_, controls, paths_, log));
    QCOMPARE(paths_.Datenpfad_alt, file);
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(int(log.skippedTotal()), 0);
    QCOMPARE(controls.reservations.recordCount(), 25);
    QCOMPARE(contentOf(file), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

void SourceSelectionTest::aFileWithAnotherPasswordOrNoneStaysAsItIs_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("skipped");
    // Another password cannot be removed, and so the record sources cannot open the file either.
    QTest::newRow("another password") << "geheim" << 4;
    QTest::newRow("no password, nothing to remove") << "" << 0;
}

void SourceSelectionTest::aFileWithAnotherPasswordOrNoneStaysAsItIs()
{
    QFETCH(QString, password);
    QFETCH(int, skipped);
    const QString file = dir_.filePath(QStringLiteral("other_%1_20.mdb").arg(password.isEmpty() ? QStringLiteral("none") : password));
    tools::writeOlderEditionFile(file, tools::SampleOptions{5, 2, password});
    const QByteArray before = bytesOf(file);
    store::DataControls controls(engine_);
    store::RunLog log;
    selection::accept(file, engine_, controls, paths_, log);
    QCOMPARE(paths_.Datenpfad_alt, file);
    QCOMPARE(bytesOf(file), before);
    QCOMPARE(int(log.skippedTotal()), skipped);
}

void SourceSelectionTest::theSameFileTwiceChangesNothingTheSecondTime()
{
    const QString file = dir_.filePath(QStringLiteral("twice_tavik_20.mdb"));
    tools::writeOlderEditionFile(file, tools::SampleOptions{5, 4, QStringLiteral("quiret")});
    store::Engine engine(QLocale::c());
    store::DataControls controls(engine);
    store::RunLog log;
    selection::accept(file, engine, controls, paths_, log);
    const QByteArray afterFirst = bytesOf(file);
    QVERIFY(afterFirst.startsWith("SQLite format 3"));
    selection::accept(file, engine, controls, paths_, log);
    QCOMPARE(bytesOf(file), afterFirst);
    QCOMPARE(int(log.skippedTotal()), 0);
    QVERIFY(controls.reservations.isOpen());
    QCOMPARE(controls.reservations.recordCount(), 5);
}

void SourceSelectionTest::aCancelledDialogIsRefusedAndChangesNothing()
{
    store::DataControls controls(engine_);
    QVERIFY(!selection::choose(dialogs_, engine_, controls, paths_, log_));
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].text,
             QStringLiteral("Tavik_20.mdb; Tavik_20.ba*   ist die falsche Datei, bitte suchen Sie  TAVIK_20.MDB"));
    QCOMPARE(dialogs_.messages[0].icon, ui::MessageIcon::Stop);
    QCOMPARE(dialogs_.messages[0].title, QStringLiteral("Fehler"));
    QCOMPARE(paths_.Datenpfad_alt, QStringLiteral("/opt/Tavik 2.0/tavik_20.mdb"));
    QVERIFY(controls.reservations.databaseName().isEmpty());
}

QTEST_GUILESS_MAIN(SourceSelectionTest)
#include "SourceSelectionTest.moc"

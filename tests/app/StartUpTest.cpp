#include "app/ShellTasks.h"
#include "app/StartUp.h"
#include "store/Connection.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavik;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

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

QString memo13Of(const QString& path)
{
    auto connection = store::Connection::open(path, store::OpenOptions{});
    store::Statement select = connection->prepare(QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid LIMIT 1"));
    return select.step() ? select.text(0) : QStringLiteral("<none>");
}

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void pathsComeFromTheSettingsOrTheirDefaults_data();
    void pathsComeFromTheSettingsOrTheirDefaults();
    void backupKeepsTheTargetAsItWas();
    void noBackupWithoutATargetOrForAShortPath_data();
    void noBackupWithoutATargetOrForAShortPath();
    void taskOneReplacesTheTarget();
    void finishingStepMarksOnlyTheTarget();
    void finishingStepWithoutASettingsRecordIsAnEngineError();
    void aProtectedCopyCannotBeBound();
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

void StartUpTest::backupKeepsTheTargetAsItWas()
{
    const QString target = dir_.filePath(QStringLiteral("tavik_50.mdb"));
    writeFile(target, "die Daten von Tavik 5.0");
    writeFile(dir_.filePath(QStringLiteral("tavik_50.ba0")), "eine alte Sicherung");
    QCOMPARE(app::backupPathFor(target), dir_.filePath(QStringLiteral("tavik_50.ba0")));
    QVERIFY(app::makeStartupBackup(target));
    QCOMPARE(bytesOf(dir_.filePath(QStringLiteral("tavik_50.ba0"))), QByteArray("die Daten von Tavik 5.0"));
    QCOMPARE(bytesOf(target), QByteArray("die Daten von Tavik 5.0"));
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
    QVERIFY(!app::makeStartupBackup(target));
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

QTEST_GUILESS_MAIN(StartUpTest)
#include "StartUpTest.moc"

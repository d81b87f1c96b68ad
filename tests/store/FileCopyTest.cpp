#include "store/FileCopy.h"
#include "store/Connection.h"
#include "tests/support/LockHolder.h"

#include <QtTest>

#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using tavik::store::Connection;
using tavik::store::CopyProblem;
using tavik::store::CopyResult;
using tavik::store::fileCopy;
using tavik::testsupport::LockHolder;

Q_DECLARE_METATYPE(CopyProblem)

namespace {

const QString source = QStringLiteral("tavik_20.mdb");
const QString destination = QStringLiteral("tavik_50.mdb");
const QString newDestination = QStringLiteral("neu.mdb");
const QFileDevice::Permissions sourceMode
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
const QFileDevice::Permissions destinationMode
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther;
// More than one read of the copy, so that the pieces must come out in order.
constexpr qint64 sourcePayloadBytes = 1500 * 1024;

void writeDataFile(const QString& path, qint64 payloadBytes)
{
    tavik::store::OpenOptions options;
    options.create = true;
    const auto db = Connection::open(path, options);
    db->execute(QStringLiteral("CREATE TABLE Einstellungen (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "Hotelname VARCHAR(50), Memo1 TEXT)"));
    auto insert = db->prepare(
        QStringLiteral("INSERT INTO Einstellungen (Hotelname, Memo1) VALUES (?, randomblob(?))"));
    insert.bind(1, QStringLiteral("Haus am See"));
    insert.bind(2, payloadBytes);
    insert.run();
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<fehlt>");
}

// Every entry of a folder with its contents, to show that a refused copy changed nothing in it.
QMap<QString, QByteArray> snapshotOf(const QDir& folder)
{
    QMap<QString, QByteArray> entries;
    const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : folder.entryInfoList(filter))
        entries.insert(
            entry.fileName(), entry.isDir() ? QByteArray("<Ordner>") : contentsOf(entry.filePath()));
    return entries;
}

QFileDevice::Permissions modeOf(const QString& path)
{
    return QFileInfo(path).permissions()
        & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

} // namespace

class FileCopyTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void copiesTheWholeFile_data();
    void copiesTheWholeFile();
    void refusesAndLeavesTheFolderAsItWas_data();
    void refusesAndLeavesTheFolderAsItWas();
    void refusesAFileLockedByAnotherProcess_data();
    void refusesAFileLockedByAnotherProcess();
    void failedWriteLeavesTheFolderAsItWas();
    void keepsPermissions_data();
    void keepsPermissions();

private:
    QString path(const QString& name) const { return folder_->filePath(name); }

    std::optional<QTemporaryDir> folder_;
    QByteArray sourceBytes_;
    QDateTime sourceModified_;
};

void FileCopyTest::init()
{
    folder_.emplace();
    QVERIFY(folder_->isValid());
    writeDataFile(path(source), sourcePayloadBytes);
    writeDataFile(path(destination), 100);
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("Daten")));
    // A modification time far back shows any write to the source, however fast the case runs.
    QFile sourceFile(path(source));
    QVERIFY(sourceFile.open(QIODevice::ReadWrite));
    QVERIFY(sourceFile.setFileTime(
        QDateTime(QDate(2003, 3, 14), QTime(8, 0)), QFileDevice::FileModificationTime));
    sourceFile.close();
    sourceBytes_ = contentsOf(path(source));
    sourceModified_ = QFileInfo(path(source)).lastModified();
}

void FileCopyTest::cleanup()
{
    // Whatever a case did, the source stays as it was.
    QCOMPARE(contentsOf(path(source)), sourceBytes_);
    QCOMPARE(QFileInfo(path(source)).lastModified(), sourceModified_);
}

void FileCopyTest::copiesTheWholeFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("alwaysOverwrite");
    QTest::newRow("new destination") << newDestination << false;
    QTest::newRow("new destination, overwrite allowed") << newDestination << true;
    QTest::newRow("existing destination replaced") << destination << true;
}

void FileCopyTest::copiesTheWholeFile()
{
    QFETCH(QString, target);
    QFETCH(bool, alwaysOverwrite);
    // The copy is the only change: no temporary file left, nothing else touched.
    auto expected = snapshotOf(folder_->path());
    expected.insert(target, sourceBytes_);

    QVERIFY(fileCopy(path(source), path(target), alwaysOverwrite));
    QVERIFY(snapshotOf(folder_->path()) == expected);
}

void FileCopyTest::refusesAndLeavesTheFolderAsItWas_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("alwaysOverwrite");
    QTest::addColumn<QString>("beside");
    QTest::addColumn<CopyProblem>("problem");
    QTest::addColumn<QString>("concerned");
    const QString none;
    QTest::newRow("existing destination, no overwrite")
        << source << destination << false << none << CopyProblem::DestinationExists << destination;
    QTest::newRow("missing source") << "fehlt.mdb" << destination << true << none << CopyProblem::SourceMissing << "fehlt.mdb";
    QTest::newRow("source is a folder") << "Daten" << newDestination << true << none << CopyProblem::SourceNotAFile << "Daten";
    QTest::newRow("missing destination folder")
        << source << "fehlt/tavik_50.mdb" << true << none << CopyProblem::DestinationFolderMissing << "fehlt";
    QTest::newRow("destination is a folder") << source << "Daten" << true << none << CopyProblem::DestinationNotAFile << "Daten";
    QTest::newRow("destination is the source") << source << source << true << none << CopyProblem::SameFile << source;
    for (const QString& file : { source, destination }) {
        for (const QString& suffix : { QStringLiteral("-journal"), QStringLiteral("-wal") }) {
            QTest::addRow("%s beside %s", qPrintable(suffix), qPrintable(file))
                << source << destination << true << file + suffix << CopyProblem::UnfinishedChangeBeside << file + suffix;
        }
    }
    // SQLite would play such a journal back into the fresh copy.
    QTest::newRow("journal beside a new destination")
        << source << newDestination << false << "neu.mdb-journal" << CopyProblem::UnfinishedChangeBeside
        << "neu.mdb-journal";
}

void FileCopyTest::refusesAndLeavesTheFolderAsItWas()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, alwaysOverwrite);
    QFETCH(QString, beside);
    QFETCH(CopyProblem, problem);
    QFETCH(QString, concerned);
    if (!beside.isEmpty()) {
        QFile leftOver(path(beside));
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        leftOver.write("Reste einer Transaktion");
    }
    const auto before = snapshotOf(folder_->path());

    const CopyResult copy = fileCopy(path(from), path(to), alwaysOverwrite);
    QCOMPARE(copy.problem(), problem);
    QCOMPARE(copy.path(), path(concerned));
    QVERIFY(copy.germanCause().contains(QDir::toNativeSeparators(path(concerned))));
    QCOMPARE(snapshotOf(folder_->path()), before);
}

void FileCopyTest::refusesAFileLockedByAnotherProcess_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("locked");
    QTest::newRow("source read by another process") << "--shared" << source;
    QTest::newRow("source held exclusively") << "--exclusive" << source;
    QTest::newRow("destination read by another process") << "--shared" << destination;
    QTest::newRow("destination held exclusively") << "--exclusive" << destination;
}

void FileCopyTest::refusesAFileLockedByAnotherProcess()
{
    QFETCH(QString, mode);
    QFETCH(QString, locked);
    LockHolder holder(
        mode == QLatin1String("--exclusive") ? LockHolder::Mode::Exclusive : LockHolder::Mode::Shared, path(locked));
    QVERIFY2(holder.waitUntilLocked(), qPrintable(holder.problem()));
    // Only the lock tells that the file is in use: the holder has written nothing yet.
    QVERIFY(!QFileInfo::exists(path(locked) + QStringLiteral("-journal")));
    const auto before = snapshotOf(folder_->path());

    const CopyResult copy = fileCopy(path(source), path(destination), true);
    QCOMPARE(copy.problem(), CopyProblem::LockedElsewhere);
    QCOMPARE(copy.path(), path(locked));
    QCOMPARE(snapshotOf(folder_->path()), before);

    holder.release();
    QVERIFY(fileCopy(path(source), path(destination), true));
}

void FileCopyTest::failedWriteLeavesTheFolderAsItWas()
{
#ifdef Q_OS_UNIX
    const auto before = snapshotOf(folder_->path());
    {
        // A limit on file size makes the write fail inside this process, the way a full disk does.
        rlimit saved {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const CopyResult copy = fileCopy(path(source), path(destination), true);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(copy.problem(), CopyProblem::CannotWriteCopy);
        QCOMPARE(copy.systemError(), EFBIG);
        QVERIFY(copy.germanCause().endsWith(QStringLiteral("(die Datei wird zu groß).")));
    }
    QCOMPARE(snapshotOf(folder_->path()), before);
#else
    QSKIP("A failing write is provoked through a file size limit, which only Unix offers");
#endif
}

void FileCopyTest::keepsPermissions_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QFileDevice::Permissions>("expected");
    QTest::newRow("existing destination keeps its own") << destination << destinationMode;
    QTest::newRow("new destination takes the source's") << newDestination << sourceMode;
}

void FileCopyTest::keepsPermissions()
{
    QFETCH(QString, target);
    QFETCH(QFileDevice::Permissions, expected);
    QVERIFY(QFile::setPermissions(path(source), sourceMode));
    QVERIFY(QFile::setPermissions(path(destination), destinationMode));

    QVERIFY(fileCopy(path(source), path(target), true));
    QCOMPARE(modeOf(path(target)), expected);
}

QTEST_GUILESS_MAIN(FileCopyTest)
#include "FileCopyTest.moc"

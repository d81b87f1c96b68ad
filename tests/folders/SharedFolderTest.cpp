#include "folders/SharedFolder.h"

#include <QtTest>

#include <optional>

using tavik::folders::normalizedFolder;
using tavik::folders::sharedDocumentsFolder;

class SharedFolderTest : public QObject {
    Q_OBJECT
private slots:
    void normalizesWhatThePlatformReports_data();
    void normalizesWhatThePlatformReports();
    void followsTheUsersSharedFolderSetting();
};

void SharedFolderTest::normalizesWhatThePlatformReports_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("expected");
    const auto native = [](const char* path) { return QDir::toNativeSeparators(QString::fromUtf8(path)); };
    QTest::newRow("trailing separator dropped") << native("/srv/Gemeinsam/") << native("/srv/Gemeinsam");
    QTest::newRow("several trailing separators dropped")
        << native("/srv/Gemeinsam//") << native("/srv/Gemeinsam");
    QTest::newRow("folder without separator kept") << native("/srv/Gemeinsam") << native("/srv/Gemeinsam");
    QTest::newRow("forward slashes become native")
        << QStringLiteral("/srv/Gemeinsam/") << native("/srv/Gemeinsam");
    QTest::newRow("root keeps its separator") << native("/") << native("/");
    QTest::newRow("no folder gives the empty text") << QString() << QString();
}

void SharedFolderTest::normalizesWhatThePlatformReports()
{
    QFETCH(QString, reported);
    QFETCH(QString, expected);
    QCOMPARE(normalizedFolder(reported), expected);
}

void SharedFolderTest::followsTheUsersSharedFolderSetting()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QTemporaryDir config;
    QFile userDirs(config.filePath(QStringLiteral("user-dirs.dirs")));
    QVERIFY(userDirs.open(QIODevice::WriteOnly));
    userDirs.write("XDG_PUBLICSHARE_DIR=\"$HOME/Gemeinsam/\"\n");
    userDirs.close();
    const std::optional<QByteArray> previous = qEnvironmentVariableIsSet("XDG_CONFIG_HOME")
        ? std::optional(qgetenv("XDG_CONFIG_HOME"))
        : std::nullopt;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString folder = sharedDocumentsFolder();
    previous ? qputenv("XDG_CONFIG_HOME", *previous) : qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(folder, QDir::homePath() + QStringLiteral("/Gemeinsam"));
#else
    QSKIP("Only Unix desktops take the shared folder from the user's user-dirs.dirs");
#endif
}

QTEST_GUILESS_MAIN(SharedFolderTest)
#include "SharedFolderTest.moc"

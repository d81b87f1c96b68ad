#include "store/Connection.h"
#include "tests/support/SettingsFiles.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::memo13Of;

namespace {

const QString windowTitle = QStringLiteral("Tavik 2.0 Datenaufbereitung");
// The form's height in pixels at 96 DPI; what the window has beyond it is the menu bar.
constexpr int formHeight = 8805 / 15;
// The middle of "Start", where "OK" later stands too, in the form's pixels.
constexpr int buttonX = (3720 + 2175 / 2) / 15;
constexpr int buttonY = (7440 + 495 / 2) / 15;

} // namespace

// Starts the real program on a virtual display and uses it as a user would: Start, the VAT
// question, OK, the closing message.
class EndToEndTest : public QObject {
    Q_OBJECT

private:
    QProcess display_;
    QString displayName_;
    QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();

    QString xdotool(const QStringList& arguments, int timeoutMs = 20000)
    {
        QProcess tool;
        tool.setProcessEnvironment(environment_);
        tool.start(QStringLiteral("xdotool"), arguments);
        tool.waitForFinished(timeoutMs);
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }

    // Gives up early once the program has ended: its window will not come.
    QString findWindow(const QString& title, int timeoutMs, const QProcess* program = nullptr)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs && !(program && program->state() == QProcess::NotRunning)) {
            const QString found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), title});
            if (!found.isEmpty())
                return found.section(QLatin1Char('\n'), 0, 0);
            QTest::qWait(200);
        }
        return {};
    }

    void press(const QString& window, const QString& key)
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        xdotool({QStringLiteral("key"), key});
    }

    void clickButton(const QString& window)
    {
        const QString geometry = xdotool({QStringLiteral("getwindowgeometry"), window});
        const int height = geometry.section(QStringLiteral("Geometry: "), 1).section(QLatin1Char('x'), 1).toInt();
        const int menuBar = height - formHeight;
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(buttonX),
                 QString::number(menuBar + buttonY), QStringLiteral("click"), QStringLiteral("1")});
    }

    // A display that a client has answered, not only one that has named its number. No reset when
    // the last client leaves, so the polling here never races a server regeneration.
    bool startDisplay()
    {
        display_.start(QStringLiteral("Xvfb"),
            { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp") });
        if (!display_.waitForStarted())
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!display_.canReadLine() && clock.elapsed() < 20000)
            display_.waitForReadyRead(200);
        if (!display_.canReadLine())
            return false;
        displayName_ = QStringLiteral(":") + QString::fromLatin1(display_.readLine()).trimmed();
        environment_.insert(QStringLiteral("DISPLAY"), displayName_);
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        while (clock.elapsed() < 20000) {
            QProcess probe;
            probe.setProcessEnvironment(environment_);
            probe.start(QStringLiteral("xdotool"), { QStringLiteral("getdisplaygeometry") });
            if (probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
                return true;
            QTest::qWait(200);
        }
        return false;
    }

    void stopDisplay()
    {
        display_.terminate();
        if (!display_.waitForFinished(5000))
            display_.kill();
        display_.waitForFinished(5000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(startDisplay(),
            qPrintable(QStringLiteral("Xvfb gave no usable display (package xvfb): ")
                + QString::fromLocal8Bit(display_.readAllStandardError())));
    }

    void cleanupTestCase() { stopDisplay(); }

    void aUserMigratesTheSampleHotel()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("tavik_20.mdb"));
        const QString target = dir.filePath(QStringLiteral("tavik_50.mdb"));
        tools::writeOlderEditionFile(source, tools::SampleOptions{60, 5, {}});
        tools::writeNewerEditionFile(target);
        QVERIFY(testsupport::writeSettingsFile(
            dir.filePath(QStringLiteral("config")), QStringLiteral("Tavik 2.0"), source));
        QVERIFY(testsupport::writeSettingsFile(
            dir.filePath(QStringLiteral("config")), QStringLiteral("Tavik 5.0"), target));
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));

        QProcess program;
        program.setProcessChannelMode(QProcess::MergedChannels);
        QString window;
        QByteArray output;
        // A display that drops the program's first connection is the machine's fault, not the
        // program's: a fresh display, at most twice.
        for (int attempt = 0; attempt < 3 && window.isEmpty(); ++attempt) {
            program.setProcessEnvironment(environment_);
            program.start(qEnvironmentVariable("TAVIK_PROGRAM"), {});
            QVERIFY(program.waitForStarted());
            window = findWindow(windowTitle, 20000, &program);
            output = program.readAll();
            if (!window.isEmpty() || program.state() != QProcess::NotRunning
                || !output.contains("could not connect to display"))
                break;
            qWarning("the display refused the program; starting a fresh one");
            stopDisplay();
            QVERIFY(startDisplay());
        }
        QVERIFY2(!window.isEmpty(),
            qPrintable(QStringLiteral("the window did not appear: ") + QString::fromLocal8Bit(output)));
        QTest::qWait(500); // mapped is not yet drawn: give the window its first paint
        clickButton(window);

        const QString question = findWindow(QStringLiteral("Speisen und"), 20000);
        QVERIFY2(!question.isEmpty(), "the VAT question did not appear");
        press(question, QStringLiteral("Return"));

        // "OK" takes the place of "Start" once the import has run; until then a click there does nothing.
        QString closing;
        for (int attempt = 0; attempt < 60 && closing.isEmpty(); ++attempt) {
            clickButton(window);
            closing = findWindow(QStringLiteral("Tavik 5.0 - Datenimport"), 1000);
        }
        QVERIFY2(!closing.isEmpty(), "the closing message did not appear");
        press(closing, QStringLiteral("Return"));
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(memo13Of(target), QStringLiteral("importiert"));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("tavik_50.ba0"))));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "EndToEndTest.moc"

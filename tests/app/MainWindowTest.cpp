#include "tests/support/ScriptedDialogs.h"

#include "app/MainWindow.h"
#include "store/Connection.h"
#include "tools/SampleHotel.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "AppTestFiles.h"

using namespace tavik;
using testfiles::bytesOf;
using testfiles::firstValue;
using testsupport::ScriptedDialogs;

namespace {

int visibleDoneMarks(app::MainWindow& window)
{
    int shown = 0;
    for (QLabel* mark : window.form().Image2)
        shown += mark->isVisibleTo(window.form().form) ? 1 : 0;
    return shown;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    ScriptedDialogs dialogs_;
    QList<int> exitCodes_;

    std::unique_ptr<app::MainWindow> openWindow(const QString& source, const QString& target)
    {
        app::WindowSetup setup;
        setup.settings = [=](const QString& application, const QString&, const QString&, const QString&) {
            return application == QLatin1String("Tavik 2.0") ? source : target;
        };
        setup.sharedDocumentsFolder = dir_.path();
        setup.numberFormat = QLocale(QLocale::German, QLocale::Germany);
        setup.dialogs = &dialogs_;
        setup.endProgram = [this](int code) { exitCodes_.append(code); };
        auto window = std::make_unique<app::MainWindow>(std::move(setup));
        // The chain's pauses, shortened; their order and what each step does stay.
        const QList<QTimer*> steps{window->form().Timer2, window->form().Timer3, window->form().Timer4, window->form().Timer5};
        for (int i = 0; i < steps.size(); ++i)
            steps[i]->setInterval(10 * (i + 1));
        window->form().Timer6->setInterval(1);
        return window;
    }

private slots:
    void init()
    {
        dialogs_ = ScriptedDialogs();
        exitCodes_.clear();
    }
    void startUpShowsBothPathsAndBacksUpTheTarget();
    void animationTicksToOneHundredAndStops();
    void failedCopyEndsTheProgramWithoutADoneMark();
    void chainRunsEveryTaskAndOkMarksTheTarget();
    void stepThreeRunsWhileTheQuestionIsOpen();
    void aProtectedFileChosenThroughTheMenuIsMigrated();
    void withoutReservationsThereIsNoOk();
    void aSecondWindowOnTheSameTargetIsRefused();
    void theClosingBoxSaysWhatWasSkipped();
    void unreadableSettingsEndTheProgramBeforeAnything();
};

void MainWindowTest::startUpShowsBothPathsAndBacksUpTheTarget()
{
    const QString source = dir_.filePath(QStringLiteral("s_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("s_tavik_50.mdb"));
    tools::writeNewerEditionFile(target);
    auto window = openWindow(source, target);
    QCOMPARE(window->form().Label7->text(), source);
    QCOMPARE(window->form().Label6->text(), target);
    QCOMPARE(bytesOf(dir_.filePath(QStringLiteral("s_tavik_50.ba0"))), bytesOf(target));
    QVERIFY(window->form().Command6->isEnabled());
    QCOMPARE(visibleDoneMarks(*window), 0);
}

void MainWindowTest::animationTicksToOneHundredAndStops()
{
    auto window = openWindow(dir_.filePath(QStringLiteral("a.mdb")), dir_.filePath(QStringLiteral("b.mdb")));
    app::FormLayout& form = window->form();
    form.Timer6->start(60000);
    for (int tick = 1; tick <= 37; ++tick)
        window->Timer6_Timer();
    QCOMPARE(form.Labelct->text(), QStringLiteral("37%"));
    QCOMPARE(form.progressFillWidth(), 37 * 50.0);
    QVERIFY(form.Timer6->isActive());
    for (int tick = 38; tick <= 100; ++tick)
        window->Timer6_Timer();
    QCOMPARE(form.Labelct->text(), QStringLiteral("100%"));
    QCOMPARE(form.progressFillWidth(), 5000.0);
    QVERIFY(!form.Timer6->isActive());
}

void MainWindowTest::failedCopyEndsTheProgramWithoutADoneMark()
{
    const QString target = dir_.filePath(QStringLiteral("c_tavik_50.mdb"));
    tools::writeNewerEditionFile(target);
    const QByteArray targetBytes = bytesOf(target);
    auto window = openWindow(dir_.filePath(QStringLiteral("fehlt_tavik_20.mdb")), target);
    window->form().Command6->click();
    QTRY_COMPARE(exitCodes_, QList<int>{1});
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].text, QStringLiteral("Datendatei ist geöffnet\n\nDie Datei \"%1\" ist nicht vorhanden.")
                                            .arg(QDir::toNativeSeparators(dir_.filePath(QStringLiteral("fehlt_tavik_20.mdb")))));
    QCOMPARE(dialogs_.messages[0].icon, ui::MessageIcon::Exclamation);
    QCOMPARE(dialogs_.messages[0].title, QString());
    QCOMPARE(visibleDoneMarks(*window), 0);
    QVERIFY(!window->controls().reservations.isOpen());
    QCOMPARE(bytesOf(target), targetBytes);
    QTest::qWait(100);
    QCOMPARE(exitCodes_, QList<int>{1});
}

void MainWindowTest::chainRunsEveryTaskAndOkMarksTheTarget()
{
    const QString source = dir_.filePath(QStringLiteral("k_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("k_tavik_50.mdb"));
    tools::writeOlderEditionFile(source, tools::SampleOptions{40, 11, {}});
    tools::writeNewerEditionFile(target);
    const QByteArray sourceBytes = bytesOf(source);
    dialogs_.answers = QStringList{QStringLiteral("7")};
    auto window = openWindow(source, target);
    app::FormLayout& form = window->form();

    form.Command6->click();
    QVERIFY(!form.Command6->isEnabled());
    QVERIFY(!form.mnu_suchen->isEnabled());
    QTRY_VERIFY(form.Command7->isVisibleTo(form.form));
    QVERIFY(!form.Command6->isVisibleTo(form.form));
    QCOMPARE(visibleDoneMarks(*window), 4);
    QVERIFY(!form.Timer6->isActive());
    QVERIFY(form.Label13->text().startsWith(QStringLiteral("Daten wurden erfolgreich importiert.")));
    QCOMPARE(form.Labelct->text(), QStringLiteral("100 %"));
    QCOMPARE(form.progressFillWidth(), form.progressTrackWidth());
    QCOMPARE(window->controls().reservations.databaseName(), target);
    QCOMPARE(window->controls().chargeLines.databaseName(), target);

    form.Command7->click();
    QCOMPARE(exitCodes_, QList<int>{0});
    QCOMPARE(dialogs_.messages.last().text, QStringLiteral("Sie können jetzt Tavik 5.0 starten"));
    QCOMPARE(dialogs_.messages.last().icon, ui::MessageIcon::Information);
    QCOMPARE(dialogs_.messages.last().title, QStringLiteral("Tavik 5.0 - Datenimport"));
    QCOMPARE(firstValue(target, QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid")), QStringLiteral("importiert"));
    QCOMPARE(bytesOf(source), sourceBytes);
    const QString log = QString::fromUtf8(bytesOf(dir_.filePath(QStringLiteral("tavik-migrate.log"))));
    QVERIFY2(log.contains(QStringLiteral("Sicherung der Tavik 5.0 Datendatei: ") + dir_.filePath(QStringLiteral("k_tavik_50.ba0"))), qPrintable(log));
}

void MainWindowTest::stepThreeRunsWhileTheQuestionIsOpen()
{
    const QString source = dir_.filePath(QStringLiteral("v_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("v_tavik_50.mdb"));
    tools::writeOlderEditionFile(source, tools::SampleOptions{20, 3, {}});
    tools::writeNewerEditionFile(target);
    auto window = openWindow(source, target);
    bool taskThreeRanUnderTheQuestion = false;
    QString withoutRateWhileAsking;
    dialogs_.answers = QStringList{QStringLiteral("7")};
    dialogs_.whileAsking = [&] {
        // A user who takes a while to answer: the chain goes on under the open box.
        taskThreeRanUnderTheQuestion = QTest::qWaitFor([&] { return window->form().Image2[2]->isVisibleTo(window->form().form); }, 5000);
        withoutRateWhileAsking = firstValue(target, QStringLiteral("SELECT count(*) FROM \"Artikel\" WHERE \"Art7\" IS NULL OR \"Art7\" = ''"));
    };
    window->form().Command6->click();
    QTRY_VERIFY(window->form().Command7->isVisibleTo(window->form().form));
    QVERIFY(taskThreeRanUnderTheQuestion);
    QCOMPARE(withoutRateWhileAsking, QStringLiteral("4"));
    QCOMPARE(dialogs_.questions.size(), 1);
    QCOMPARE(firstValue(target, QStringLiteral("SELECT count(*) FROM \"Artikel\" WHERE \"Art7\" IS NULL OR \"Art7\" = ''")),
             QStringLiteral("0"));
}

void MainWindowTest::aProtectedFileChosenThroughTheMenuIsMigrated()
{
    const QString chosen = dir_.filePath(QStringLiteral("m_TAVIK_20.MDB"));
    const QString target = dir_.filePath(QStringLiteral("m_tavik_50.mdb"));
    tools::writeOlderEditionFile(chosen, tools::SampleOptions{15, 8, QStringLiteral("quiret")});
    tools::writeNewerEditionFile(target);
    dialogs_.fileChoices = QStringList{chosen};
    dialogs_.answers = QStringList{QStringLiteral("19")};
    auto window = openWindow(dir_.filePath(QStringLiteral("nicht_da_20.mdb")), target);
    window->form().mnu_suchen->trigger();
    QCOMPARE(window->form().Label7->text(), chosen);
    QCOMPARE(window->Datenpfad_alt(), chosen);

    window->form().Command6->click();
    QTRY_VERIFY(window->form().Command7->isVisibleTo(window->form().form));
    window->form().Command7->click();
    QCOMPARE(exitCodes_, QList<int>{0});
    QCOMPARE(firstValue(target, QStringLiteral("SELECT count(*) FROM \"Reservierungen\"")), QStringLiteral("15"));
    QCOMPARE(firstValue(target, QStringLiteral("SELECT \"Memo13\" FROM \"Einstellungen\" ORDER BY rowid")), QStringLiteral("importiert"));
}

void MainWindowTest::withoutReservationsThereIsNoOk()
{
    const QString source = dir_.filePath(QStringLiteral("r_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("r_tavik_50.mdb"));
    tools::writeOlderEditionFile(source, tools::SampleOptions{3, 3, {}});
    dialogs_.answers = QStringList{QStringLiteral("19")};
    // The copy loses its reservations between task 2 and task 4, as a damaged or foreign file would.
    dialogs_.whileAsking = [&] {
        auto connection = store::Connection::open(target, store::OpenOptions{});
        connection->execute(QStringLiteral("DROP TABLE \"Reservierungen\""));
    };
    auto window = openWindow(source, target);
    window->form().Command6->click();
    QTRY_VERIFY(!window->form().Timer6->isActive());
    QVERIFY(!window->form().Command7->isVisibleTo(window->form().form));
    QVERIFY(window->form().Label13->text().startsWith(QStringLiteral("Die Reservierungen konnten nicht geöffnet werden.")));
    QVERIFY(exitCodes_.isEmpty());
}

void MainWindowTest::aSecondWindowOnTheSameTargetIsRefused()
{
    const QString target = dir_.filePath(QStringLiteral("z_tavik_50.mdb"));
    const QString backup = dir_.filePath(QStringLiteral("z_tavik_50.ba0"));
    tools::writeNewerEditionFile(target);
    auto first = openWindow(dir_.filePath(QStringLiteral("z_tavik_20.mdb")), target);
    const QByteArray backupBytes = bytesOf(backup);
    testfiles::writeFile(target, bytesOf(target) + QByteArrayLiteral("geändert"));

    auto second = openWindow(dir_.filePath(QStringLiteral("z_tavik_20.mdb")), target);
    QTRY_COMPARE(exitCodes_, QList<int>{1});
    QCOMPARE(dialogs_.messages.size(), 1);
    QVERIFY2(dialogs_.messages[0].text.contains(QStringLiteral("wird gerade von einem anderen Lauf bearbeitet")),
             qPrintable(dialogs_.messages[0].text));
    QCOMPARE(bytesOf(backup), backupBytes);
    QVERIFY(!first->hasEnded());

    // Once the first window is gone, the target is free again.
    first.reset();
    second.reset();
    exitCodes_.clear();
    auto third = openWindow(dir_.filePath(QStringLiteral("z_tavik_20.mdb")), target);
    QTest::qWait(20);
    QVERIFY(exitCodes_.isEmpty());
    QCOMPARE(bytesOf(backup), bytesOf(target));
}

void MainWindowTest::theClosingBoxSaysWhatWasSkipped()
{
    const QString source = dir_.filePath(QStringLiteral("u_tavik_20.mdb"));
    const QString target = dir_.filePath(QStringLiteral("u_tavik_50.mdb"));
    tools::writeOlderEditionFile(source, tools::SampleOptions{10, 5, {}});
    tools::writeNewerEditionFile(target);
    {
        auto connection = store::Connection::open(source, store::OpenOptions{});
        connection->execute(QStringLiteral("UPDATE \"Reservierungen\" SET \"Re13\" = 'Minibar', \"Re14\" = 'n.a.' WHERE \"ID\" IN (1, 2)"));
    }
    dialogs_.answers = QStringList{QStringLiteral("19")};
    auto window = openWindow(source, target);
    window->form().Command6->click();
    QTRY_VERIFY(window->form().Command7->isVisibleTo(window->form().form));
    QVERIFY(window->form().Label13->text().startsWith(QStringLiteral("Daten wurden erfolgreich importiert.")));
    const qsizetype skipped = window->log().skippedTotal();
    QVERIFY(skipped >= 2);

    window->form().Command7->click();
    const QString log = QDir::toNativeSeparators(dir_.filePath(QStringLiteral("tavik-migrate.log")));
    QCOMPARE(dialogs_.messages.last().text,
             QStringLiteral("Sie können jetzt Tavik 5.0 starten\n%1 Vorgänge wurden übersprungen; das Protokoll steht in \"%2\".")
                 .arg(skipped)
                 .arg(log));
    QVERIFY(QFile::exists(log));
}

void MainWindowTest::unreadableSettingsEndTheProgramBeforeAnything()
{
    const QString message = QStringLiteral("Die Einstellungsdatei \"/x/Tavik 2.0.conf\" ist ungültig: Zeile 1 ist weder [Abschnitt] noch Name=Wert.");
    app::WindowSetup setup;
    setup.settings = [&](const QString&, const QString&, const QString&, const QString&) -> QString {
        throw app::UnreadableSettings(message);
    };
    setup.sharedDocumentsFolder = dir_.path();
    setup.dialogs = &dialogs_;
    setup.endProgram = [this](int code) { exitCodes_.append(code); };
    app::MainWindow window(std::move(setup));
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].text, message);
    QCOMPARE(dialogs_.messages[0].icon, ui::MessageIcon::Stop);
    QVERIFY(!window.form().Command6->isEnabled());
    QVERIFY(!window.form().mnu_suchen->isEnabled());
    QTRY_COMPARE(exitCodes_, QList<int>{2});
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

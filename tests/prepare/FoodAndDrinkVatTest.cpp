#include "PrepareFixture.h"

#include "prepare/FoodAndDrinkVat.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "tests/support/ScriptedDialogs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tavik::store;
using tavik::testsupport::ScriptedDialogs;
using tavik::ui::MessageIcon;
namespace fixture = prepare_fixture;
namespace prepare = tavik::prepare;

namespace {

QList<qint64> keysWithoutRate(const QMap<qint64, QString>& rates)
{
    QList<qint64> keys;
    for (auto rate = rates.cbegin(); rate != rates.cend(); ++rate) {
        if (rate.value().isEmpty() || rate.value() == QStringLiteral("<null>"))
            keys << rate.key();
    }
    return keys;
}

} // namespace

class FoodAndDrinkVatTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;
    QString sampleFile()
    {
        const QString path = dir_.filePath(QStringLiteral("tavik_50_%1.mdb").arg(++files_));
        tavik::tools::SampleOptions sample;
        sample.reservations = 0;
        tavik::tools::writeOlderEditionFile(path, sample);
        return path;
    }

private slots:
    void emptyAnswersAreRefusedAndAskedAgain_data();
    void emptyAnswersAreRefusedAndAskedAgain();
    void articlesWithoutRateGetTheAnswerAsTyped_data();
    void articlesWithoutRateGetTheAnswerAsTyped();
    void nothingIsWrittenWhenNoArticleLacksARate_data();
    void nothingIsWrittenWhenNoArticleLacksARate();
};

void FoodAndDrinkVatTest::emptyAnswersAreRefusedAndAskedAgain_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("answer");
    QTest::newRow("the default confirmed") << QStringList { "19" } << "19";
    QTest::newRow("Cancel, an emptied field, then 7") << QStringList { "", "", "7" } << "7";
    QTest::newRow("a single blank is an answer") << QStringList { " " } << " ";
}

void FoodAndDrinkVatTest::emptyAnswersAreRefusedAndAskedAgain()
{
    QFETCH(QStringList, script);
    QFETCH(QString, answer);
    ScriptedDialogs ui;
    ui.answers = script;
    ui.cancelWhenNoAnswerIsLeft = false;
    QCOMPARE(prepare::askFoodAndDrinkVat(ui), answer);
    const QStringList question {
        QStringLiteral("Bitte geben Sie die MwSt. für Speisen und Getränke ein\n\nMinibar, Restaurant usw. "),
        QStringLiteral("MwSt. für Speisen und Getränke "), QStringLiteral("19")
    };
    QList<QStringList> asked;
    for (const ScriptedDialogs::Asked& each : ui.questions)
        asked << QStringList { each.prompt, each.title, each.defaultText };
    QCOMPARE(asked, QList<QStringList>(script.size(), question));
    const QStringList wrongValue { QStringLiteral("Falscher Wert"), QString::number(int(MessageIcon::None)),
        QString() };
    QList<QStringList> shown;
    for (const ScriptedDialogs::Shown& each : ui.messages)
        shown << QStringList { each.text, QString::number(int(each.icon)), each.title };
    QCOMPARE(shown, QList<QStringList>(script.size() - 1, wrongValue));
}

void FoodAndDrinkVatTest::articlesWithoutRateGetTheAnswerAsTyped_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("readerHoldsTheFile");
    QTest::addColumn<bool>("stored");
    QTest::newRow("the default 19") << "19" << false << true;
    QTest::newRow("7") << "7" << false << true;
    QTest::newRow("a single blank") << " " << false << true;
    QTest::newRow("19 with a blank and a percent sign") << "19 %" << false << true;
    QTest::newRow("50 characters fill Art7") << QString(50, '7') << false << true;
    QTest::newRow("51 characters are refused per article") << QString(51, '7') << false << false;
    QTest::newRow("7 while another program reads the articles") << "7" << true << false;
}

void FoodAndDrinkVatTest::articlesWithoutRateGetTheAnswerAsTyped()
{
    QFETCH(QString, answer);
    QFETCH(bool, readerHoldsTheFile);
    QFETCH(bool, stored);
    const QString file = sampleFile();
    const QMap<qint64, QString> before = fixture::ratesOf(file);
    const QList<qint64> withoutRate = keysWithoutRate(before);
    QVERIFY(!withoutRate.isEmpty());
    // A reader in an open transaction keeps its shared lock, so no write of the step can commit.
    const auto reader = Connection::open(file, OpenOptions {});
    if (readerHoldsTheFile) {
        reader->execute(QStringLiteral("BEGIN"));
        reader->execute(QStringLiteral("SELECT count(*) FROM Artikel"));
    }

    Engine engine(QLocale::c());
    DataControls controls(engine);
    RunLog log;
    prepare::bindArticles(controls, file);
    const int written = prepare::applyFoodAndDrinkVat(controls, answer, log);
    if (readerHoldsTheFile)
        reader->execute(QStringLiteral("COMMIT"));

    QVERIFY(controls.articles.eof());
    QCOMPARE(written, stored ? withoutRate.size() : 0);
    QMap<qint64, QString> expected = before;
    for (const qint64 key : withoutRate)
        expected[key] = stored ? answer : before[key];
    QCOMPARE(fixture::ratesOf(file), expected);
    QList<qint64> loggedKeys;
    for (const SkippedOperation& skipped : log.firstSkipped()) {
        loggedKeys << skipped.recordKey.value_or(-1);
        QCOMPARE(skipped.field, QStringLiteral("Art7"));
        QCOMPARE(skipped.value, answer);
    }
    QCOMPARE(loggedKeys, stored ? QList<qint64>() : withoutRate);
}

void FoodAndDrinkVatTest::nothingIsWrittenWhenNoArticleLacksARate_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("empty article table") << "DELETE FROM Artikel";
    QTest::newRow("every article has a rate")
        << "UPDATE Artikel SET Art7 = '7' WHERE Art7 IS NULL OR Art7 = ''";
}

void FoodAndDrinkVatTest::nothingIsWrittenWhenNoArticleLacksARate()
{
    QFETCH(QString, statement);
    const QString file = sampleFile();
    Connection::open(file, OpenOptions {})->execute(statement);
    const QByteArray before = fixture::bytesOf(file);
    Engine engine(QLocale::c());
    DataControls controls(engine);
    RunLog log;
    prepare::bindArticles(controls, file);
    QCOMPARE(prepare::applyFoodAndDrinkVat(controls, QStringLiteral("19"), log), 0);
    QVERIFY(controls.articles.eof());
    QCOMPARE(int(log.skippedTotal()), 0);
    QCOMPARE(fixture::bytesOf(file), before);
}

QTEST_GUILESS_MAIN(FoodAndDrinkVatTest)
#include "FoodAndDrinkVatTest.moc"

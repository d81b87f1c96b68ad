#include "store/RunLock.h"
#include "tests/reliability/MigrationProgram.h"
#include "tests/support/FileBytes.h"
#include "tests/support/LockHolder.h"
#include "tools/SampleHotel.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <unistd.h>

using namespace tavik;
using reliability::ProgramResult;

namespace {

// Words of English prose a German user must never meet, as whole words in any case.
const QRegularExpression englishWords(
    QStringLiteral("\\b(error|errors|failed|failure|cannot|could not|file|files|permission|denied|no such|not found|"
                   "database|disk|space|invalid|unable|warning|unknown|missing|the|not)\\b"),
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);

// What is not prose: quoted names, paths and the option names, which stay as the user typed them.
QString proseOf(QString text)
{
    static const QRegularExpression quoted(QStringLiteral("\"[^\"\\n]*\""));
    static const QRegularExpression path(QStringLiteral("\\S*/\\S*"));
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    return text.remove(quoted).remove(path).remove(option);
}

QStringList englishIn(const QString& where, const QString& text)
{
    QStringList found;
    const QString prose = proseOf(text);
    for (auto match = englishWords.globalMatch(prose); match.hasNext();) {
        const auto word = match.next();
        const qsizetype lineStart = prose.lastIndexOf(QLatin1Char('\n'), word.capturedStart()) + 1;
        const qsizetype lineEnd = prose.indexOf(QLatin1Char('\n'), word.capturedStart());
        found << QStringLiteral("%1: \"%2\" in: %3")
                     .arg(where, word.captured(), prose.mid(lineStart, lineEnd - lineStart));
    }
    return found;
}

// The report's texts written for the user; paths, values and SQLite's own message are not.
QStringList reportTexts(const QJsonObject& report)
{
    QStringList texts { report[QStringLiteral("message")].toString(), report[QStringLiteral("cause")].toString() };
    for (const QJsonValue& task : report[QStringLiteral("tasks")].toArray())
        texts << task[QStringLiteral("name")].toString() << task[QStringLiteral("result")].toString();
    for (const QJsonValue& skipped : report[QStringLiteral("skipped")].toArray())
        texts << skipped[QStringLiteral("reason")].toString() << skipped[QStringLiteral("operation")].toString()
              << skipped[QStringLiteral("task")].toString();
    return texts;
}

} // namespace

// The main ways a batch run fails, in a German environment: whatever the program says on its
// streams or writes into the report's texts is German.
class GermanOnlyTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<reliability::MigrationFolder> hotel_;
    QString runtimeFolder_;

    QString hotelFolder() const { return QFileInfo(hotel_->dataFolder()).path(); }
    // Beside the data folder, so that a data folder that takes no file does not refuse the report.
    QString report() const { return hotelFolder() + QStringLiteral("/bericht.json"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = hotel_->environment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder_);
        return environment;
    }

    // Brings the hotel into the situation a row names, or adds what it needs to the arguments.
    bool prepare(const QString& situation, QStringList& arguments);

private slots:
    void init()
    {
        hotel_ = std::make_unique<reliability::MigrationFolder>();
        QVERIFY(hotel_->isValid());
        runtimeFolder_ = hotelFolder() + QStringLiteral("/laufzeit");
        QVERIFY(QDir().mkpath(runtimeFolder_));
        QVERIFY(QFile::setPermissions(
            runtimeFolder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        // German rates, read in the German number format: the odd values alone are skipped.
        tools::writeOlderEditionFile(hotel_->source(), tools::SampleOptions { 60, 21, {}, 0 });
        tools::writeNewerEditionFile(hotel_->target());
    }

    void failedRunsSpeakGerman_data();
    void failedRunsSpeakGerman();
};

bool GermanOnlyTest::prepare(const QString& situation, QStringList& arguments)
{
    if (situation == QLatin1String("older file missing"))
        return QFile::remove(hotel_->source());
    if (situation == QLatin1String("target folder missing"))
        return hotel_->pointAt(hotel_->source(), hotel_->path(QStringLiteral("fehlt/tavik_50.mdb")));
    if (situation == QLatin1String("older file no data file"))
        return testsupport::writeFile(hotel_->source(), QByteArray("Zimmerliste\n").repeated(400));
    if (situation == QLatin1String("older file with another password")) {
        tools::writeOlderEditionFile(hotel_->source(), tools::SampleOptions { 5, 1, QStringLiteral("anders") });
        return true;
    }
    if (situation == QLatin1String("target damaged") || situation == QLatin1String("backup damaged")) {
        QByteArray bytes = testsupport::bytesOf(hotel_->target());
        // Past the first page, so that the file still opens and SQLite meets the damage while reading.
        for (qsizetype at = 4096 + 100; at < bytes.size(); at += 997)
            bytes[at] = char(~bytes[at]);
        return testsupport::writeFile(situation == QLatin1String("backup damaged")
                ? hotel_->path(QStringLiteral("tavik_50.ba0"))
                : hotel_->target(),
            bytes);
    }
    if (situation == QLatin1String("older file damaged")) {
        // Only its last records: the file opens, and reading the reservations fails half way.
        QByteArray bytes = testsupport::bytesOf(hotel_->source());
        for (qsizetype at = bytes.size() - 3000; at < bytes.size(); at += 7)
            bytes[at] = char(~bytes[at]);
        return testsupport::writeFile(hotel_->source(), bytes);
    }
    if (situation == QLatin1String("older file cut short")) {
        const QByteArray bytes = testsupport::bytesOf(hotel_->source());
        return testsupport::writeFile(hotel_->source(), bytes.left(bytes.size() / 2));
    }
    if (situation == QLatin1String("odd values")) {
        tools::writeOlderEditionFile(hotel_->source(), tools::SampleOptions { 60, 21, {}, 20 });
        return true;
    }
    if (situation == QLatin1String("report names the target"))
        arguments << QStringLiteral("--report") << hotel_->target();
    return true;
}

void GermanOnlyTest::failedRunsSpeakGerman_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    const QString batch = QStringLiteral("--batch");
    const QString vat = QStringLiteral("--vat");
    const QStringList run { batch, vat, QStringLiteral("19") };
    QTest::newRow("older file missing") << "older file missing" << run << 1;
    QTest::newRow("target folder missing") << "target folder missing" << run << 1;
    QTest::newRow("target folder not writable") << "target folder not writable" << run << 1;
    QTest::newRow("target held by another program") << "target held" << run << 1;
    QTest::newRow("another run at work") << "another run" << run << 1;
    QTest::newRow("older file is no data file") << "older file no data file" << run << 3;
    QTest::newRow("older file with another password") << "older file with another password" << run << 3;
    QTest::newRow("target damaged") << "target damaged" << run << 0;
    QTest::newRow("older file damaged") << "older file damaged" << run << 3;
    QTest::newRow("older file cut short") << "older file cut short" << run << 3;
    QTest::newRow("backup damaged") << "backup damaged" << QStringList { QStringLiteral("--restore") } << 2;
    QTest::newRow("unknown option") << "" << QStringList { batch, QStringLiteral("--schnell") } << 2;
    QTest::newRow("skip limit no number")
        << "" << (run + QStringList { QStringLiteral("--max-skipped"), QStringLiteral("viele") }) << 2;
    QTest::newRow("no VAT answer without a terminal") << "" << QStringList { batch } << 2;
    QTest::newRow("report folder takes no file")
        << "" << (run + QStringList { QStringLiteral("--report"), QStringLiteral("/proc/bericht.json") }) << 2;
    QTest::newRow("report names the target") << "report names the target" << run << 2;
    QTest::newRow("no backup to restore") << "" << QStringList { QStringLiteral("--restore") } << 2;
    QTest::newRow("odd values skipped") << "odd values" << run << 0;
    QTest::newRow("odd values over the skip limit")
        << "odd values" << (run + QStringList { QStringLiteral("--max-skipped"), QStringLiteral("0") }) << 6;
}

void GermanOnlyTest::failedRunsSpeakGerman()
{
    QFETCH(QString, situation);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QVERIFY(prepare(situation, arguments));
    if (!arguments.contains(QStringLiteral("--report")) && !arguments.contains(QStringLiteral("--restore"))
        && arguments.contains(QStringLiteral("--batch")))
        arguments << QStringLiteral("--report") << report();

    ProgramResult result;
    if (situation == QLatin1String("another run")) {
        const store::RunLock otherRun = store::RunLock::take(hotel_->target());
        QVERIFY(otherRun.isHeld());
        result = reliability::runProgram(environment(), arguments);
    } else if (situation == QLatin1String("target held")) {
        testsupport::LockHolder holder(testsupport::LockHolder::Mode::Exclusive, hotel_->target());
        QVERIFY2(holder.waitUntilLocked(), qPrintable(holder.problem()));
        result = reliability::runProgram(environment(), arguments);
    } else if (situation == QLatin1String("target folder not writable")) {
        // Root may write anywhere; the fault is met by everybody else.
        if (::geteuid() != 0)
            QSKIP("the folder is handed to another user only by root");
        QVERIFY(reliability::handOver(hotelFolder(), reliability::unprivilegedUser));
        QVERIFY(QFile::setPermissions(hotel_->dataFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        result = reliability::runProgramAs(reliability::unprivilegedUser, environment(), arguments);
        QFile::setPermissions(
            hotel_->dataFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (result.exitCode == 126)
            QSKIP("the program cannot be started as another user here");
    } else {
        result = reliability::runProgram(environment(), arguments);
    }

    QVERIFY2(result.endedByItself && result.exitCode == exitCode, qPrintable(result.describe()));
    QStringList english
        = englishIn(QStringLiteral("stdout"), result.out) + englishIn(QStringLiteral("stderr"), result.err);
    const QJsonObject json = QJsonDocument::fromJson(testsupport::bytesOf(report())).object();
    for (const QString& text : reportTexts(json))
        english << englishIn(QStringLiteral("report"), text);
    QVERIFY2(english.isEmpty(), qPrintable(english.join(u'\n') + QLatin1Char('\n') + result.describe()));
    if (situation == QLatin1String("odd values"))
        QVERIFY2(!json[QStringLiteral("skipped")].toArray().isEmpty(), qPrintable(result.describe()));
}

QTEST_GUILESS_MAIN(GermanOnlyTest)
#include "GermanOnlyTest.moc"

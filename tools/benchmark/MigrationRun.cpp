#include "tools/benchmark/MigrationRun.h"

#include "app/UserSettings.h"
#include "store/RunTask.h"
#include "store/StoreTexts.h"
#include "tools/SampleHotel.h"
#include "tools/benchmark/BenchmarkTexts.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>

#include <stdexcept>

namespace tavik::benchmark {

namespace {

QString importTaskMissing()
{
    return texts::importTaskMissing.arg(store::texts::taskName(store::RunTask::Import));
}

QJsonObject readReport(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(texts::reportMissing.arg(path).toStdString());
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw std::runtime_error(texts::reportUnreadable.arg(path, error.errorString()).toStdString());
    return document.object();
}

void takeTasks(const QJsonArray& tasks, MigrationFigures& figures)
{
    bool importFound = false;
    for (const QJsonValue& value : tasks) {
        const QJsonObject task = value.toObject();
        const QString name = task.value(QStringLiteral("name")).toString();
        const double seconds = task.value(QStringLiteral("seconds")).toDouble();
        figures.taskSeconds.append({ name, seconds });
        if (task.value(QStringLiteral("id")).toString() != QLatin1String(store::taskId(store::RunTask::Import)))
            continue;
        importFound = true;
        const QJsonObject counts = task.value(QStringLiteral("counts")).toObject();
        figures.importSeconds = seconds;
        figures.reservations = qint64(counts.value(QStringLiteral("reservations")).toDouble());
        figures.chargeLines = qint64(counts.value(QStringLiteral("chargeLines")).toDouble());
    }
    if (!importFound)
        throw std::runtime_error(importTaskMissing().toStdString());
}

void takeReport(const QString& path, MigrationFigures& figures)
{
    const QJsonObject json = readReport(path);
    figures.totalSeconds = json.value(QStringLiteral("totalSeconds")).toDouble();
    figures.skipped = json.value(QStringLiteral("skipped")).toArray().size();
    takeTasks(json.value(QStringLiteral("tasks")).toArray(), figures);
}

// The import's line of the table the batch run prints: "4. Daten importieren  100000
// Reservierungen, 315329 Verzehrzeilen, Summen geschrieben ...". The table has no ids: the line is
// found by the name the batch run gives the task.
void takeResultTable(const QString& path, MigrationFigures& figures)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(texts::outputMissing.arg(path).toStdString());
    static const QRegularExpression importLine(
        QStringLiteral("^%1 +(\\d+) Reservierungen, (\\d+) Verzehrzeilen")
            .arg(QRegularExpression::escape(store::texts::taskName(store::RunTask::Import))),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = importLine.match(QString::fromUtf8(file.readAll()));
    if (!match.hasMatch())
        throw std::runtime_error(importTaskMissing().toStdString());
    figures.reservations = match.captured(1).toLongLong();
    figures.chargeLines = match.captured(2).toLongLong();
}

} // namespace

HotelFolder::HotelFolder(const QString& folder, const tools::SampleOptions& sample)
    : folder_(folder)
    , reservations_(sample.reservations)
    , olderFile_(filePath(QStringLiteral("tavik_20.mdb")))
    , newerFile_(filePath(QStringLiteral("tavik_50.mdb")))
    , settingsFolder_(filePath(QStringLiteral("settings")))
{
    if (!QDir().mkpath(folder_)
        || !QDir().mkpath(settingsFolder_ + QLatin1Char('/') + app::editionSettings::organisation))
        throw std::runtime_error(texts::folderNotCreated.arg(folder_).toStdString());
    tools::writeOlderEditionFile(olderFile_, sample);
    writeSettings(app::editionSettings::olderEdition, olderFile_);
    writeSettings(app::editionSettings::newerEdition, newerFile_);
}

QString HotelFolder::filePath(const QString& name) const
{
    return QDir(folder_).absoluteFilePath(name);
}

void HotelFolder::writeSettings(const QString& edition, const QString& dataPath) const
{
    const QString file = settingsFolder_ + QLatin1Char('/') + app::editionSettings::organisation + QLatin1Char('/')
        + edition + QStringLiteral(".conf");
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(app::editionSettings::section + QLatin1Char('/') + app::editionSettings::dataPathKey, dataPath);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error(texts::settingsNotWritten.arg(file).toStdString());
}

void HotelFolder::renewNewerFile() const
{
    tools::writeNewerEditionFile(newerFile_);
}

MigrationFigures runMigration(const MigrationCall& call, const HotelFolder& hotel)
{
    hotel.renewNewerFile();
    const QString report = hotel.filePath(QStringLiteral("report.json"));
    QFile::remove(report);
    QStringList arguments { QStringLiteral("--batch"), QStringLiteral("--vat"), call.vatRate };
    if (call.withReport)
        arguments << QStringLiteral("--report") << report;
    ChildProcess child(call.program, arguments);
    child.setEnvironmentVariable(QStringLiteral("XDG_CONFIG_HOME"), hotel.settingsFolder());
    child.setEnvironmentVariable(QStringLiteral("LC_ALL"), call.locale);
    const QString output = hotel.filePath(QStringLiteral("migration.out"));
    const QString errors = hotel.filePath(QStringLiteral("migration.err"));
    child.setOutputFiles(output, errors);

    MigrationFigures figures;
    figures.process = child.run();
    if (!figures.process.exitedNormally || figures.process.exitCode != 0)
        throw std::runtime_error(
            texts::runFailed.arg(call.program).arg(figures.process.exitCode).arg(errors).toStdString());
    if (call.withReport)
        takeReport(report, figures);
    else
        takeResultTable(output, figures);
    return figures;
}

} // namespace tavik::benchmark

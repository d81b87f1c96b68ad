#include "tools/benchmark/BaselineRun.h"

#include "tools/benchmark/BenchmarkTexts.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

namespace tavik::benchmark {

BaselineFigures runBaseline(const QString& program, const HotelFolder& hotel)
{
    // A copy made just before, as task 1 makes one just before task 4: both start from the
    // same file with the same pages in the cache.
    const QString file = hotel.filePath(QStringLiteral("baseline.mdb"));
    QFile::remove(file);
    if (!QFile::copy(hotel.olderFile(), file))
        throw std::runtime_error(texts::copyFailed.arg(hotel.olderFile(), file).toStdString());
    const QString output = hotel.filePath(QStringLiteral("baseline.out"));
    const QString errors = hotel.filePath(QStringLiteral("baseline.err"));
    ChildProcess child(program, { file });
    child.setOutputFiles(output, errors);

    BaselineFigures figures;
    figures.process = child.run();
    if (!figures.process.exitedNormally || figures.process.exitCode != 0)
        throw std::runtime_error(
            texts::runFailed.arg(program).arg(figures.process.exitCode).arg(errors).toStdString());
    QFile result(output);
    if (!result.open(QIODevice::ReadOnly))
        throw std::runtime_error(texts::reportMissing.arg(output).toStdString());
    const QJsonObject json = QJsonDocument::fromJson(result.readAll()).object();
    if (!json.contains(QStringLiteral("seconds")))
        throw std::runtime_error(texts::reportUnreadable.arg(output, QString()).toStdString());
    figures.seconds = json.value(QStringLiteral("seconds")).toDouble();
    figures.reservations = qint64(json.value(QStringLiteral("reservations")).toDouble());
    figures.chargeLines = qint64(json.value(QStringLiteral("chargeLines")).toDouble());
    QFile::remove(file);
    return figures;
}

} // namespace tavik::benchmark

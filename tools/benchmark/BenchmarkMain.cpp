#include "store/EngineError.h"
#include "tools/benchmark/BaselineRun.h"
#include "tools/benchmark/BenchmarkTexts.h"
#include "tools/benchmark/Figures.h"
#include "tools/benchmark/MachineDescription.h"
#include "tools/benchmark/MigrationRun.h"
#include "tools/benchmark/WholeRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTranslator>

#include <algorithm>
#include <exception>
#include <optional>

namespace {

using namespace tavik::benchmark;

// Exit statuses: the figures are there and every target held, a run failed, the command line
// was wrong, the figures are there but a target was missed.
enum ExitStatus { TargetsHeld = 0, RunFailed = 1, BadCommandLine = 2, TargetMissed = 3 };

const QString defaultSizes = QStringLiteral("10000,100000,1000000");
// The whole run's targets lie at these sizes; 10,000 says nothing the two do not.
const QString defaultWholeRunSizes = QStringLiteral("100000,1000000");
// About 73 skipped operations per 100 reservations (72 to 74 at the sizes measured), as old
// front-office data has them.
constexpr int defaultWholeRunOddPrices = 13;
constexpr int defaultRepeat = 5;
constexpr quint64 defaultSeed = 2003;
const QString vatRate = QStringLiteral("19");
// The sample's amounts and rates are typed as a German hotel types them; under another number
// format many rates are not numbers, and the run measures the logging of them instead.
const QString defaultLocale = QStringLiteral("de_DE.UTF-8");

struct BenchmarkOptions {
    QList<int> sizes;
    int repeat = defaultRepeat;
    quint64 seed = defaultSeed;
    QString migrateProgram;
    QString baselineProgram;
    QString workFolder; // empty: a temporary folder
    QString locale;
    bool wholeRun = false;
    int oddPricePercent = 0;
};

// Usage, option errors and --help come from Qt's parser; its German catalogue translates them.
void installGermanQtTexts(QCoreApplication& application, QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&translator);
}

std::optional<QList<int>> parseSizes(const QString& text)
{
    QList<int> sizes;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool valid = false;
        const int size = part.trimmed().toInt(&valid);
        if (!valid || size < 1)
            return std::nullopt;
        sizes << size;
    }
    if (sizes.isEmpty())
        return std::nullopt;
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

bool isProgram(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<BenchmarkOptions> readCommandLine(const QCoreApplication& application, QTextStream& errors)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(texts::description);
    parser.addHelpOption();
    const QCommandLineOption sizes(
        QStringLiteral("sizes"), texts::sizesOption.arg(defaultSizes), QStringLiteral("N,N,…"), defaultSizes);
    const QCommandLineOption repeat(QStringLiteral("repeat"), texts::repeatOption.arg(defaultRepeat),
        QStringLiteral("R"), QString::number(defaultRepeat));
    const QCommandLineOption migrate(QStringLiteral("migrate"), texts::migrateOption, QStringLiteral("PFAD"),
        QStringLiteral(TAVIK_MIGRATE_PROGRAM));
    const QCommandLineOption baseline(QStringLiteral("baseline"), texts::baselineOption,
        QStringLiteral("PFAD"),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tavik-benchmark-baseline")));
    const QCommandLineOption work(QStringLiteral("work"), texts::workOption, QStringLiteral("ORDNER"));
    const QCommandLineOption seed(QStringLiteral("seed"), texts::seedOption.arg(defaultSeed),
        QStringLiteral("S"), QString::number(defaultSeed));
    const QCommandLineOption locale(QStringLiteral("locale"), texts::localeOption.arg(defaultLocale),
        QStringLiteral("NAME"), defaultLocale);
    const QCommandLineOption wholeRun(
        QStringLiteral("whole-run"), texts::wholeRunOption.arg(defaultWholeRunSizes));
    const QCommandLineOption oddPrices(QStringLiteral("odd-prices"),
        texts::oddPricesOption.arg(0).arg(defaultWholeRunOddPrices), QStringLiteral("PROZENT"));
    parser.addOptions({ sizes, repeat, migrate, baseline, work, seed, locale, wholeRun, oddPrices });
    parser.process(application);

    BenchmarkOptions options;
    options.wholeRun = parser.isSet(wholeRun);
    const QString sizesText
        = parser.isSet(sizes) || !options.wholeRun ? parser.value(sizes) : defaultWholeRunSizes;
    const std::optional<QList<int>> parsedSizes = parseSizes(sizesText);
    if (!parsedSizes) {
        errors << texts::badSizes.arg(sizesText) << Qt::endl;
        return std::nullopt;
    }
    options.sizes = *parsedSizes;
    bool valid = false;
    options.oddPricePercent = options.wholeRun ? defaultWholeRunOddPrices : 0;
    if (parser.isSet(oddPrices)) {
        options.oddPricePercent = parser.value(oddPrices).toInt(&valid);
        if (!valid || options.oddPricePercent < 0 || options.oddPricePercent > 100) {
            errors << texts::badOddPrices.arg(parser.value(oddPrices)) << Qt::endl;
            return std::nullopt;
        }
    }
    options.repeat = parser.value(repeat).toInt(&valid);
    if (!valid || options.repeat < 1) {
        errors << texts::badRepeat.arg(parser.value(repeat)) << Qt::endl;
        return std::nullopt;
    }
    options.seed = parser.value(seed).toULongLong(&valid);
    if (!valid) {
        errors << texts::badSeed.arg(parser.value(seed)) << Qt::endl;
        return std::nullopt;
    }
    options.migrateProgram = QFileInfo(parser.value(migrate)).absoluteFilePath();
    options.baselineProgram = QFileInfo(parser.value(baseline)).absoluteFilePath();
    for (const QString& program : { options.migrateProgram, options.baselineProgram }) {
        if (!isProgram(program)) {
            errors << texts::programMissing.arg(program) << Qt::endl;
            return std::nullopt;
        }
    }
    options.workFolder = parser.value(work);
    options.locale = parser.value(locale);
    return options;
}

tavik::tools::SampleOptions sampleOf(const BenchmarkOptions& options, int reservations)
{
    tavik::tools::SampleOptions sample;
    sample.reservations = reservations;
    sample.seed = options.seed;
    sample.oddPricePercent = options.oddPricePercent;
    return sample;
}

MigrationCall migrationCall(const BenchmarkOptions& options, bool withReport)
{
    return MigrationCall { options.migrateProgram, vatRate, options.locale, withReport };
}

// The largest files are not kept beyond their size's runs.
void removeHotelFiles(const HotelFolder& hotel)
{
    QFile::remove(hotel.olderFile());
    QFile::remove(hotel.newerFile());
}

// One size's hotel, generated once for all its runs, and its size as the progress lines write it.
struct GeneratedHotel {
    QString size;
    HotelFolder hotel;
};

GeneratedHotel generateHotel(
    const BenchmarkOptions& options, int reservations, const QString& folder, QTextStream& progress)
{
    const QString size = QLocale(QLocale::German, QLocale::Germany).toString(reservations);
    progress << texts::generating.arg(size) << Qt::endl;
    return { size, HotelFolder(folder, sampleOf(options, reservations)) };
}

// Migration and baseline take turns, so that a slow spell of the shared machine hits both.
SizeResult measureSize(
    const BenchmarkOptions& options, int reservations, const QString& folder, QTextStream& progress)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const auto [size, hotel] = generateHotel(options, reservations, folder, progress);
    SizeResult result(reservations);
    for (int run = 1; run <= options.repeat; ++run) {
        progress << texts::running.arg(size).arg(run).arg(options.repeat) << Qt::flush;
        const MigrationFigures migration = runMigration(migrationCall(options, true), hotel);
        const BaselineFigures baseline = runBaseline(options.baselineProgram, hotel);
        progress << texts::ranFor.arg(
            german.toString(migration.importSeconds, 'f', 2), german.toString(baseline.seconds, 'f', 2))
                 << Qt::endl;
        result.add(migration, baseline);
    }
    removeHotelFiles(hotel);
    return result;
}

// Each run with and each without --report is followed by a baseline run of its own. Which kind
// goes first alternates, so that neither always meets the page cache the other left.
WholeRunResult measureWholeRun(
    const BenchmarkOptions& options, int reservations, const QString& folder, QTextStream& progress)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const auto [size, hotel] = generateHotel(options, reservations, folder, progress);
    WholeRunResult result(reservations);
    for (int run = 1; run <= options.repeat; ++run) {
        progress << texts::running.arg(size).arg(run).arg(options.repeat) << Qt::flush;
        for (const bool withReport : { run % 2 == 1, run % 2 == 0 }) {
            const MigrationFigures migration = runMigration(migrationCall(options, withReport), hotel);
            const BaselineFigures baseline = runBaseline(options.baselineProgram, hotel);
            progress << texts::wholeRanFor.arg(withReport ? texts::withReport : texts::withoutReport,
                german.toString(migration.process.seconds, 'f', 2),
                german.toString(baseline.process.seconds, 'f', 2))
                     << Qt::flush;
            result.add(withReport, migration, baseline);
        }
        progress << Qt::endl;
    }
    removeHotelFiles(hotel);
    return result;
}

QString sizeFolder(const QString& workFolder, int reservations)
{
    return QDir(workFolder).filePath(QString::number(reservations));
}

int runWholeRunBenchmark(
    const BenchmarkOptions& options, const QString& workFolder, QTextStream& out, QTextStream& progress)
{
    QList<WholeRunResult> results;
    for (const int reservations : options.sizes)
        results << measureWholeRun(options, reservations, sizeFolder(workFolder, reservations), progress);
    out << renderWholeRuns(results, options.repeat, options.oddPricePercent, describeMachine()) << Qt::endl
        << Qt::endl;
    const Verdicts verdicts = judgeWholeRuns(results, WholeRunTargets());
    for (const QString& line : verdicts.lines)
        out << line << Qt::endl;
    return verdicts.allHeld ? TargetsHeld : TargetMissed;
}

int runBenchmark(
    const BenchmarkOptions& options, const QString& workFolder, QTextStream& out, QTextStream& progress)
{
    if (options.wholeRun)
        return runWholeRunBenchmark(options, workFolder, out, progress);
    QList<SizeResult> results;
    for (const int reservations : options.sizes)
        results << measureSize(options, reservations, sizeFolder(workFolder, reservations), progress);
    out << renderFigures(results, options.repeat, describeMachine()) << Qt::endl << Qt::endl;
    const Verdicts verdicts = judgeTargets(results, Targets());
    for (const QString& line : verdicts.lines)
        out << line << Qt::endl;
    return verdicts.allHeld ? TargetsHeld : TargetMissed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTranslator germanQtTexts;
    installGermanQtTexts(application, germanQtTexts);
    QTextStream out(stdout);
    QTextStream errors(stderr);
    const std::optional<BenchmarkOptions> options = readCommandLine(application, errors);
    if (!options)
        return BadCommandLine;
    QTemporaryDir temporary;
    const QString workFolder = options->workFolder.isEmpty() ? temporary.path() : options->workFolder;
    if ((options->workFolder.isEmpty() && !temporary.isValid()) || !QDir().mkpath(workFolder)) {
        errors << texts::workFolderNotCreated << Qt::endl;
        return RunFailed;
    }
    try {
        return runBenchmark(*options, workFolder, out, errors);
    } catch (const tavik::store::EngineError& error) {
        errors << texts::failed.arg(tavik::store::germanMessage(error)) << Qt::endl;
    } catch (const std::exception& error) {
        errors << Qt::endl << texts::failed.arg(QString::fromLocal8Bit(error.what())) << Qt::endl;
    }
    return RunFailed;
}

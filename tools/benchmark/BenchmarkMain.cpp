#include "store/EngineError.h"
#include "tools/benchmark/BaselineRun.h"
#include "tools/benchmark/BenchmarkTexts.h"
#include "tools/benchmark/Figures.h"
#include "tools/benchmark/MachineDescription.h"
#include "tools/benchmark/MigrationRun.h"

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
    parser.addOptions({ sizes, repeat, migrate, baseline, work, seed, locale });
    parser.process(application);

    BenchmarkOptions options;
    const std::optional<QList<int>> parsedSizes = parseSizes(parser.value(sizes));
    if (!parsedSizes) {
        errors << texts::badSizes.arg(parser.value(sizes)) << Qt::endl;
        return std::nullopt;
    }
    options.sizes = *parsedSizes;
    bool valid = false;
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

// Migration and baseline take turns, so that a slow spell of the shared machine hits both.
SizeResult measureSize(
    const BenchmarkOptions& options, int reservations, const QString& folder, QTextStream& progress)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const QString size = german.toString(reservations);
    progress << texts::generating.arg(size) << Qt::endl;
    const HotelFolder hotel(folder, reservations, options.seed);
    SizeResult result(reservations);
    for (int run = 1; run <= options.repeat; ++run) {
        progress << texts::running.arg(size).arg(run).arg(options.repeat) << Qt::flush;
        const MigrationFigures migration
            = runMigration(options.migrateProgram, hotel, vatRate, options.locale);
        const BaselineFigures baseline = runBaseline(options.baselineProgram, hotel);
        progress << texts::ranFor.arg(
            german.toString(migration.importSeconds, 'f', 2), german.toString(baseline.seconds, 'f', 2))
                 << Qt::endl;
        result.add(migration, baseline);
    }
    // The largest files are not kept beyond their size's runs.
    QFile::remove(hotel.olderFile());
    QFile::remove(hotel.newerFile());
    return result;
}

int runBenchmark(
    const BenchmarkOptions& options, const QString& workFolder, QTextStream& out, QTextStream& progress)
{
    QList<SizeResult> results;
    for (const int reservations : options.sizes)
        results << measureSize(
            options, reservations, QDir(workFolder).filePath(QString::number(reservations)), progress);
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

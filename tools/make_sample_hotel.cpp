#include "store/EngineError.h"
#include "tools/SampleHotel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

#include <exception>
#include <optional>

namespace {

using tavik::tools::SampleOptions;
using tavik::tools::SampleSummary;

const QString olderFileName = QStringLiteral("tavik_20.mdb");
const QString newerFileName = QStringLiteral("tavik_50.mdb");

// Everything this command says to the user, kept together so the texts read alike.
namespace say {
const QString description = QStringLiteral(
    "Schreibt Beispieldaten eines Hotels: einen älteren Datenbestand (%1) mit Reservierungen, "
    "Artikeln und Verzehrbuchungen und einen leeren neueren Datenbestand (%2) in den Ordner ORDNER.")
                                .arg(olderFileName, newerFileName);
const QString reservationsOption
    = QStringLiteral("Anzahl der Reservierungen im älteren Datenbestand (Vorgabe: %1).");
const QString seedOption
    = QStringLiteral("Startwert des Zufallsgenerators; derselbe Startwert ergibt dieselben "
                     "Daten (Vorgabe: %1).");
const QString passwordOption = QStringLiteral("Kennwort, mit dem der ältere Datenbestand geschützt wird.");
const QString oddPricesOption
    = QStringLiteral("Anteil in Prozent der Beträge und Steuersätze der Preiszeilen, die wie in alten "
                     "Datenbeständen keine Zahl sind (\"19 %\", \"n.a.\", \"EUR 89,00\", leer); die übrigen "
                     "Daten bleiben die des Startwerts (Vorgabe: 0).");
const QString folderArgument = QStringLiteral("ORDNER");
const QString folderDescription = QStringLiteral("Zielordner; wird angelegt, wenn er fehlt.");
const QString needsOneFolder = QStringLiteral("Bitte genau einen Zielordner angeben (Hilfe: --help).");
const QString badReservations
    = QStringLiteral("Die Anzahl der Reservierungen muss eine ganze Zahl ab 0 sein: \"%1\".");
const QString badSeed = QStringLiteral("Der Startwert muss eine ganze Zahl ab 0 sein: \"%1\".");
const QString badOddPrices
    = QStringLiteral("Der Anteil der Preise ohne Zahl muss eine ganze Zahl von 0 bis 100 sein: \"%1\".");
const QString folderNotCreated = QStringLiteral("Der Ordner \"%1\" lässt sich nicht anlegen.");
const QString written = QStringLiteral("Beispieldaten geschrieben.");
const QString olderFile = QStringLiteral("Älterer Datenbestand: %1");
const QString protectedFile = QStringLiteral("  mit Kennwort geschützt");
const QString unprotectedFile = QStringLiteral("  ohne Kennwort");
const QString olderContents = QStringLiteral("  %1 Reservierungen, %2 Artikel (davon %3 ohne Steuersatz), "
                                             "%4 Verzehrbuchungen, Startwert %5");
const QString oddPrices = QStringLiteral("  %1 Beträge und Steuersätze ohne Zahl (Anteil %2 %)");
const QString newerFile = QStringLiteral("Neuerer Datenbestand: %1");
const QString newerContents = QStringLiteral("  ohne Kennwort, Tabellen leer");
const QString failed = QStringLiteral("Fehler: %1");
const QString failedDetails = QStringLiteral("Einzelheiten: %1");
} // namespace say

struct CommandLine {
    SampleOptions options;
    QString folder;
};

// Usage, option errors and --help come from Qt's parser; its German catalogue translates them.
void installGermanQtTexts(QCoreApplication& application, QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&translator);
}

std::optional<CommandLine> readCommandLine(const QCoreApplication& application, QTextStream& errors)
{
    const SampleOptions defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(say::description);
    parser.addHelpOption();
    const QCommandLineOption reservations({ QStringLiteral("r"), QStringLiteral("reservations") },
        say::reservationsOption.arg(defaults.reservations), QStringLiteral("N"),
        QString::number(defaults.reservations));
    const QCommandLineOption seed({ QStringLiteral("s"), QStringLiteral("seed") },
        say::seedOption.arg(defaults.seed), QStringLiteral("S"), QString::number(defaults.seed));
    const QCommandLineOption password(
        { QStringLiteral("p"), QStringLiteral("password") }, say::passwordOption, QStringLiteral("P"));
    const QCommandLineOption oddPrices(QStringLiteral("odd-prices"), say::oddPricesOption,
        QStringLiteral("PROZENT"), QString::number(defaults.oddPricePercent));
    parser.addOptions({ reservations, seed, password, oddPrices });
    parser.addPositionalArgument(say::folderArgument, say::folderDescription);
    parser.process(application);

    if (parser.positionalArguments().size() != 1) {
        errors << say::needsOneFolder << Qt::endl;
        return std::nullopt;
    }
    CommandLine commandLine;
    commandLine.folder = parser.positionalArguments().constFirst();
    commandLine.options.password = parser.value(password);
    bool valid = false;
    commandLine.options.reservations = parser.value(reservations).toInt(&valid);
    if (!valid || commandLine.options.reservations < 0) {
        errors << say::badReservations.arg(parser.value(reservations)) << Qt::endl;
        return std::nullopt;
    }
    commandLine.options.seed = parser.value(seed).toULongLong(&valid);
    if (!valid) {
        errors << say::badSeed.arg(parser.value(seed)) << Qt::endl;
        return std::nullopt;
    }
    commandLine.options.oddPricePercent = parser.value(oddPrices).toInt(&valid);
    if (!valid || commandLine.options.oddPricePercent < 0 || commandLine.options.oddPricePercent > 100) {
        errors << say::badOddPrices.arg(parser.value(oddPrices)) << Qt::endl;
        return std::nullopt;
    }
    return commandLine;
}

void reportWritten(QTextStream& out, const QString& olderPath, const QString& newerPath,
    const SampleOptions& options, const SampleSummary& summary)
{
    out << say::written << Qt::endl;
    out << say::olderFile.arg(QDir::toNativeSeparators(olderPath)) << Qt::endl;
    out << (options.password.isEmpty() ? say::unprotectedFile : say::protectedFile) << Qt::endl;
    out << say::olderContents.arg(summary.reservations)
               .arg(summary.articles)
               .arg(summary.articlesWithoutRate)
               .arg(summary.chargeLines)
               .arg(options.seed)
        << Qt::endl;
    if (options.oddPricePercent > 0)
        out << say::oddPrices.arg(summary.oddPriceValues).arg(options.oddPricePercent) << Qt::endl;
    out << say::newerFile.arg(QDir::toNativeSeparators(newerPath)) << Qt::endl;
    out << say::newerContents << Qt::endl;
}

int writeSamples(const CommandLine& commandLine, QTextStream& out, QTextStream& errors)
{
    const QDir folder(commandLine.folder);
    if (!folder.mkpath(QStringLiteral("."))) {
        errors << say::folderNotCreated.arg(QDir::toNativeSeparators(folder.absolutePath())) << Qt::endl;
        return 1;
    }
    const QString olderPath = folder.absoluteFilePath(olderFileName);
    const QString newerPath = folder.absoluteFilePath(newerFileName);
    const SampleSummary summary = tavik::tools::writeOlderEditionFile(olderPath, commandLine.options);
    tavik::tools::writeNewerEditionFile(newerPath);
    reportWritten(out, olderPath, newerPath, commandLine.options, summary);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTranslator germanQtTexts;
    installGermanQtTexts(application, germanQtTexts);
    QTextStream out(stdout);
    QTextStream errors(stderr);

    const std::optional<CommandLine> commandLine = readCommandLine(application, errors);
    if (!commandLine)
        return 1;
    try {
        return writeSamples(*commandLine, out, errors);
    } catch (const tavik::store::EngineError& error) {
        errors << say::failed.arg(tavik::store::germanMessage(error)) << Qt::endl;
        errors << say::failedDetails.arg(error.details()) << Qt::endl;
    } catch (const std::exception& error) {
        errors << say::failed.arg(QString::fromLocal8Bit(error.what())) << Qt::endl;
    }
    return 1;
}

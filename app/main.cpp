#include "app/BatchConsole.h"
#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/UserSettings.h"
#include "folders/SharedFolder.h"
#include "store/VisibleText.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include <cstdio>

namespace {

int runWindow(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Qt's own dialog texts (file dialog, buttons) in German, like the rest of the program.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    tavik::app::WindowSetup setup;
    setup.sharedDocumentsFolder = tavik::folders::sharedDocumentsFolder();
    setup.numberFormat = QLocale::system();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setup.scale = tavik::app::Twips::forScreen(*screen);
    tavik::app::MainWindow window(std::move(setup));
    window.show();
    return QApplication::exec();
}

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const tavik::app::CommandLine line = tavik::app::parseCommandLine(arguments);
    using Mode = tavik::app::CommandLine::Mode;
    if (line.mode == Mode::Window)
        return runWindow(argc, argv);

    // Everything else runs without a display.
    QCoreApplication application(argc, argv);
    switch (line.mode) {
    case Mode::Help:
        print(stdout, tavik::app::helpText());
        return 0;
    case Mode::Version:
        print(stdout, QStringLiteral("tavik-migrate %1\n").arg(QStringLiteral(TAVIK_VERSION)));
        return 0;
    case Mode::Invalid:
        print(stderr, tavik::store::visibleText(line.error) + QStringLiteral("\nHilfe: tavik-migrate --help\n"));
        return tavik::app::BatchRun::BadInput;
    default:
        break;
    }
    tavik::app::BatchConsole console(QLocale::system());
    tavik::app::BatchRun run(line.batch, console, tavik::app::readUserSetting, tavik::folders::sharedDocumentsFolder());
    try {
        return run.run();
    } catch (const tavik::app::UnreadableSettings& error) {
        // Thrown before anything was changed, while the data paths are read.
        print(stderr, tavik::store::visibleText(error.message()) + QLatin1Char('\n'));
        return tavik::app::BatchRun::BadInput;
    }
}

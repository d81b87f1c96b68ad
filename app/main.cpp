#include "app/BatchConsole.h"
#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/UserSettings.h"
#include "app/WindowProgram.h"
#include "folders/SharedFolder.h"
#include "store/VisibleText.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

#ifndef TAVIK_WINDOW_IN_PROCESS
constexpr int windowNotStarted = 127; // as a shell says of a program it cannot find
#endif

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
    if (line.mode == Mode::Window) {
#ifdef TAVIK_WINDOW_IN_PROCESS
        return tavik::app::runWindow(argc, argv);
#else
        print(stderr, tavik::app::startWindow(argc, argv) + QLatin1Char('\n'));
        return windowNotStarted;
#endif
    }

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

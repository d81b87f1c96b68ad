#include "app/WindowProgram.h"

#include "app/AppTexts.h"
#include "app/MainWindow.h"
#include "folders/SharedFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace tavik::app {

namespace {

constexpr int windowNotOpened = 127; // as when the window program is missing

QString whyNoDisplay()
{
    // X11 first, as Qt tries it first unless told otherwise.
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    return display.isEmpty() ? texts::noDisplaySet : texts::displayUnreachable.arg(display);
}

// Without a display Qt explains in English and aborts. The user reads German, and a session
// without a display (over SSH, say) is no crash: Qt's platform messages give way to one line.
void whileOpening(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        const QByteArray text = (whyNoDisplay() + QLatin1Char('\n')).toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        std::fflush(stderr);
        std::_Exit(windowNotOpened);
    }
    if (QByteArrayView(context.category).startsWith("qt.qpa"))
        return;
    const QByteArray text = (qFormatLogMessage(type, context, message) + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

} // namespace

int runWindow(int argc, char* argv[])
{
    qInstallMessageHandler(whileOpening);
    QApplication application(argc, argv);
    qInstallMessageHandler(nullptr);
    // Qt's own dialog texts (file dialog, buttons) in German, like the rest of the program.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    WindowSetup setup;
    setup.sharedDocumentsFolder = folders::sharedDocumentsFolder();
    setup.numberFormat = QLocale::system();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setup.scale = Twips::forScreen(*screen);
    MainWindow window(std::move(setup));
    window.show();
    return QApplication::exec();
}

} // namespace tavik::app

#include "app/WindowProgram.h"

#include "app/MainWindow.h"
#include "folders/SharedFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

namespace tavik::app {

int runWindow(int argc, char* argv[])
{
    QApplication application(argc, argv);
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

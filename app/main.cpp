#include "app/MainWindow.h"
#include "folders/SharedFolder.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavik-migrate"));
    QApplication::setApplicationVersion(QStringLiteral(TAVIK_VERSION));
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

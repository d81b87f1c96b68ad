#include "app/FormLayout.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using tavik::app::FormLayout;
using tavik::app::Twips;

namespace {

// At 96 dots per inch a pixel is exactly 15 twips, and every position of the window is a multiple
// of 15, so the expected pixels follow without rounding.
QRect pixelsAt96(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

constexpr Qt::Alignment leftAligned = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
constexpr Qt::Alignment rightAligned = Qt::AlignRight | Qt::AlignTop;
constexpr Qt::Alignment buttonText = {};

const QColor systemText; // an invalid colour: the label keeps the palette's text colour
const QColor trackBlue(192, 192, 255);

} // namespace

class FormLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twipsToPixels_data();
    void twipsToPixels();
    void twipsRect_data();
    void twipsRect();

    void window();
    void pictures_data();
    void pictures();
    void visibleControl_data();
    void visibleControl();
    void startState();
    void doneMarks_data();
    void doneMarks();
    void progressBarStacking();
    void progressBarDrawing();
    void setProgressFillWidth_data();
    void setProgressFillWidth();
    void menu();
    void hiddenButtons_data();
    void hiddenButtons();
    void timers_data();
    void timers();

private:
    std::unique_ptr<QMainWindow> window_;
    std::unique_ptr<FormLayout> layout_;
};

void FormLayoutTest::init()
{
    window_ = std::make_unique<QMainWindow>();
    layout_ = std::make_unique<FormLayout>(*window_, Twips(96, 96));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void FormLayoutTest::cleanup()
{
    layout_.reset();
    window_.reset();
}

void FormLayoutTest::twipsToPixels_data()
{
    QTest::addColumn<double>("dotsPerInch");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("one inch at 96 dpi") << 96.0 << 1440.0 << 96;
    QTest::newRow("15 twips are one pixel at 96 dpi") << 96.0 << 15.0 << 1;
    QTest::newRow("7 twips round down to nothing") << 96.0 << 7.0 << 0;
    QTest::newRow("8 twips round up to one pixel") << 96.0 << 8.0 << 1;
    QTest::newRow("half a pixel rounds up at 120 dpi") << 120.0 << 9630.0 << 803;
    QTest::newRow("15 twips at 144 dpi are 1.5, rounded to 2") << 144.0 << 15.0 << 2;
    QTest::newRow("a fraction of a twip counts") << 96.0 << 2507.6 << 167;
    QTest::newRow("zero stays zero") << 120.0 << 0.0 << 0;
}

void FormLayoutTest::twipsToPixels()
{
    QFETCH(double, dotsPerInch);
    QFETCH(double, twips);
    QFETCH(int, pixels);

    const Twips sameBothWays(dotsPerInch, dotsPerInch);
    QCOMPARE(sameBothWays.toPixelsX(twips), pixels);
    QCOMPARE(sameBothWays.toPixelsY(twips), pixels);
}

void FormLayoutTest::twipsRect_data()
{
    QTest::addColumn<double>("dotsPerInchX");
    QTest::addColumn<double>("dotsPerInchY");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QRect>("pixels");

    QTest::newRow("warning label at 96 dpi")
        << 96.0 << 96.0 << QRect(1320, 240, 6525, 435) << QRect(88, 16, 435, 29);
    QTest::newRow("each edge rounded on its own at 120 dpi")
        << 120.0 << 120.0 << QRect(1320, 240, 6525, 435) << QRect(110, 20, 544, 36);
    QTest::newRow("horizontal and vertical resolution differ")
        << 96.0 << 192.0 << QRect(360, 6360, 8595, 735) << QRect(24, 848, 573, 98);
}

void FormLayoutTest::twipsRect()
{
    QFETCH(double, dotsPerInchX);
    QFETCH(double, dotsPerInchY);
    QFETCH(QRect, twips);
    QFETCH(QRect, pixels);

    const Twips scale(dotsPerInchX, dotsPerInchY);
    QCOMPARE(scale.toPixelRect(twips.x(), twips.y(), twips.width(), twips.height()), pixels);
}

void FormLayoutTest::window()
{
    QCOMPARE(window_->objectName(), QString("format"));
    QCOMPARE(window_->windowTitle(), QString::fromUtf8("Tavik 2.0 Datenaufbereitung für Tavik 5.0"));
    QVERIFY(window_->windowIcon().availableSizes().contains(QSize(32, 32)));

    QWidget* form = window_->centralWidget();
    QCOMPARE(form, layout_->form);
    QCOMPARE(form->size(), QSize(642, 587));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(form->y(), window_->menuBar()->geometry().bottom() + 1);

    const QImage shot = form->grab().toImage();
    QCOMPARE(shot.pixelColor(2, 2), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(630, 300), QColor(Qt::white));
}

void FormLayoutTest::pictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("colours");

    QTest::newRow("window icon, 16 colours") << ":/form/window-icon.png" << QSize(32, 32) << 16;
    QTest::newRow("done mark, 16 colours") << ":/form/done-mark.png" << QSize(32, 32) << 16;
    QTest::newRow("progress fill, a JPEG in true colour") << ":/form/progress-fill.jpg" << QSize(15, 48) << 0;
}

void FormLayoutTest::pictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(int, colours);

    const QImage picture(path);
    QVERIFY2(!picture.isNull(), qPrintable(path + " is not linked in or its image format is missing"));
    QCOMPARE(picture.size(), size);
    QCOMPARE(picture.colorCount(), colours);
}

void FormLayoutTest::visibleControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("pointSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<Qt::Alignment>("alignment");

    const QString sans = "MS Sans Serif";
    QTest::newRow("Label2: both editions must be closed")
        << "Label2" << QRect(1320, 240, 6525, 435)
        << QString::fromUtf8("''Tavik 2.0'' und \"Tavik 5.0\" müssen geschlossen sein !   ") << "Arial"
        << 12.0 << true << systemText << centred;
    QTest::newRow("Label12: how the tool works, dark red")
        << "Label12" << QRect(360, 840, 8655, 1335)
        << QString::fromUtf8(
               "Durch Klick auf ''Start'' werden alle Aufgaben automatisch ausgeführt. Anschließend "
               "können Sie Tavik 5.0 mit Ihren aufbereiteten Daten starten. Die Tavik 2.0 "
               "Datendatei bleibt unverändert und Tavik 2.0 kann nach wie vor wie gewohnt "
               "ausgeführt werden.")
        << sans << 12.0 << true << QColor(128, 0, 0) << centred;
    QTest::newRow("Label3: caption of the source path")
        << "Label3" << QRect(120, 2520, 2055, 495) << "Tavik 2.0 Datendatei:" << sans << 8.25 << true
        << systemText << rightAligned;
    QTest::newRow("Label7: source path, empty, default font")
        << "Label7" << QRect(2280, 2520, 6735, 495) << "" << sans << 8.25 << false << systemText
        << leftAligned;
    QTest::newRow("Label8: caption of the target path")
        << "Label8" << QRect(120, 3120, 2055, 495) << "Tavik 5.0 Datendatei:" << sans << 8.25 << true
        << systemText << rightAligned;
    QTest::newRow("Label6: target path, empty, default font")
        << "Label6" << QRect(2280, 3120, 6735, 495) << "" << sans << 8.25 << false << systemText
        << leftAligned;
    QTest::newRow("Label11: heading of the tasks")
        << "Label11" << QRect(360, 3840, 1935, 255) << "Aufgaben:" << sans << 9.75 << true << systemText
        << rightAligned;
    QTest::newRow("Label4: task 1") << "Label4" << QRect(3000, 3840, 3615, 615) << "1. Datenbank kopieren"
                                    << sans << 9.75 << true << systemText << leftAligned;
    QTest::newRow("Label5: task 2") << "Label5" << QRect(3000, 4440, 3495, 495)
                                    << QString::fromUtf8("2. Datenpfad ändern") << sans << 9.75 << true
                                    << systemText << leftAligned;
    QTest::newRow("Label9: task 3") << "Label9" << QRect(3000, 5040, 3015, 375)
                                    << QString::fromUtf8("3. Datenfelder zufügen") << sans << 9.75 << true
                                    << systemText << leftAligned;
    QTest::newRow("Label10: task 4") << "Label10" << QRect(3000, 5640, 2535, 375) << "4. Daten importieren"
                                     << sans << 9.75 << true << systemText << leftAligned;
    QTest::newRow("Labelct: percentage, white over the bar")
        << "Labelct" << QRect(480, 6600, 8295, 375) << "0"
        << "Arial" << 12.0 << true << QColor(Qt::white) << centred;
    QTest::newRow("Command6: Start") << "Command6" << QRect(3720, 7440, 2175, 495) << "Start" << sans << 9.75
                                     << false << systemText << buttonText;
    QTest::newRow("Command7: OK, default font") << "Command7" << QRect(3600, 7440, 2295, 495) << "OK" << sans
                                                << 8.25 << false << systemText << buttonText;
    QTest::newRow("Label13: long import note, red")
        << "Label13" << QRect(240, 8040, 9015, 855)
        << "Beim Punkt \"4. Daten importieren\" kann es möglich sein, dass sich bis zu 5 Minuten nichts zu "
           "bewegt. Haben Sie hier bitte Geduld."
        << "Arial" << 12.0 << true << QColor(Qt::red) << centred;
}

void FormLayoutTest::visibleControl()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(double, pointSize);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    QFETCH(Qt::Alignment, alignment);

    auto* control = window_->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name + " missing"));
    QCOMPARE(control->parentWidget(), layout_->form);
    QCOMPARE(control->geometry(), pixelsAt96(twips.x(), twips.y(), twips.width(), twips.height()));
    QCOMPARE(control->property("text").toString(), text);

    const QFont font = control->font();
    QCOMPARE(font.families().value(0), family);
    QCOMPARE(font.pointSizeF(), pointSize);
    QCOMPARE(font.bold(), bold);
    // Whatever face stands in for the old one must keep its size and weight.
    const QFontInfo shown(font);
    QCOMPARE(shown.pointSizeF(), pointSize);
    QCOMPARE(shown.bold(), bold);

    if (auto* label = qobject_cast<QLabel*>(control)) {
        const QColor expected
            = colour.isValid() ? colour : QApplication::palette().color(QPalette::WindowText);
        QCOMPARE(label->palette().color(QPalette::WindowText), expected);
        QCOMPARE(label->alignment(), alignment);
        QVERIFY(label->wordWrap());
        QVERIFY2(!label->autoFillBackground(), "labels are transparent");
    }
}

void FormLayoutTest::startState()
{
    for (QLabel* mark : layout_->Image2)
        QVERIFY2(!mark->isVisible(), qPrintable(mark->objectName()));
    QVERIFY(layout_->Command6->isVisible());
    QVERIFY(!layout_->Command7->isVisible());
    QCOMPARE(layout_->Labelct->text(), QString("0"));
    QCOMPARE(layout_->progressFillWidth(), 15.0);
    QCOMPARE(layout_->progressTrackWidth(), 8595.0);
    QCOMPARE(layout_->Image1->geometry(), pixelsAt96(360, 6360, 15, 720));
    QCOMPARE(layout_->Image1->x(), layout_->Shape1->x());
    QCOMPARE(layout_->Shape1->geometry(), pixelsAt96(360, 6360, 8595, 735));
    QVERIFY(layout_->Shape1->isVisible());
    QVERIFY(layout_->Image1->isVisible());
}

void FormLayoutTest::doneMarks_data()
{
    QTest::addColumn<int>("task");
    QTest::addColumn<QString>("taskLine");
    QTest::addColumn<int>("topTwips");

    QTest::newRow("mark of task 1 beside Label4") << 0 << "Label4" << 3720;
    QTest::newRow("mark of task 2 beside Label5") << 1 << "Label5" << 4320;
    QTest::newRow("mark of task 3 beside Label9") << 2 << "Label9" << 4920;
    QTest::newRow("mark of task 4 beside Label10") << 3 << "Label10" << 5520;
}

void FormLayoutTest::doneMarks()
{
    QFETCH(int, task);
    QFETCH(QString, taskLine);
    QFETCH(int, topTwips);

    QLabel* mark = layout_->Image2.at(task);
    QCOMPARE(mark->objectName(), QString("Image2_%1").arg(task));
    QCOMPARE(window_->findChild<QLabel*>(mark->objectName()), mark);
    QCOMPARE(mark->geometry(), pixelsAt96(6120, topTwips, 480, 480));
    QVERIFY(!mark->isVisible());
    QCOMPARE(mark->pixmap().size(), QSize(32, 32));

    const auto* line = window_->findChild<QLabel*>(taskLine);
    QCOMPARE(mark->y(), line->y() - 120 / 15);
    if (task > 0)
        QCOMPARE(mark->y() - layout_->Image2.at(task - 1)->y(), 600 / 15);
}

void FormLayoutTest::progressBarStacking()
{
    const QObjectList& backToFront = layout_->form->children();
    const qsizetype track = backToFront.indexOf(layout_->Shape1);
    const qsizetype fill = backToFront.indexOf(layout_->Image1);
    const qsizetype percentage = backToFront.indexOf(layout_->Labelct);
    QVERIFY(track >= 0);
    QVERIFY(track < fill);
    QVERIFY(fill < percentage);

    QVERIFY(layout_->Shape1->autoFillBackground());
    QCOMPARE(layout_->Shape1->palette().color(QPalette::Window), trackBlue);
    QVERIFY(layout_->Image1->hasScaledContents());
    QCOMPARE(layout_->Image1->pixmap().size(), QSize(15, 48));
}

// What the user sees of the bar: the fill over the track, and the track wherever the fill ends.
void FormLayoutTest::progressBarDrawing()
{
    layout_->setProgressFillWidth(5000);
    const QImage shot = layout_->form->grab().toImage();
    const int aboveText = 6420 / 15;
    const QColor insideFill = shot.pixelColor(2000 / 15, aboveText);
    const QColor pastFill = shot.pixelColor(7000 / 15, aboveText);

    QCOMPARE(pastFill, trackBlue);
    QVERIFY2(insideFill != trackBlue && insideFill.blue() > insideFill.red(),
        qPrintable(insideFill.name() + " is not the blue fill"));
    QVERIFY(shot.pixelColor((360 + 5000 - 20) / 15, aboveText) != trackBlue);
    QCOMPARE(shot.pixelColor((360 + 5000 + 40) / 15, aboveText), trackBlue);
}

void FormLayoutTest::setProgressFillWidth_data()
{
    QTest::addColumn<double>("dotsPerInch");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("full animation, 5000 twips at 96 dpi") << 96.0 << 5000.0 << 333;
    QTest::newRow("fraction of a twip rounds to a pixel") << 96.0 << 2507.6 << 167;
    QTest::newRow("whole track at 96 dpi") << 96.0 << 8595.0 << 573;
    QTest::newRow("5000 twips at 144 dpi") << 144.0 << 5000.0 << 500;
    QTest::newRow("nothing left of the fill") << 96.0 << 0.0 << 0;
}

void FormLayoutTest::setProgressFillWidth()
{
    QFETCH(double, dotsPerInch);
    QFETCH(double, twips);
    QFETCH(int, pixels);

    QMainWindow window;
    FormLayout layout(window, Twips(dotsPerInch, dotsPerInch));
    const QRect before = layout.Image1->geometry();

    layout.setProgressFillWidth(twips);

    QCOMPARE(layout.progressFillWidth(), twips);
    QCOMPARE(layout.Image1->width(), pixels);
    QCOMPARE(layout.Image1->pos(), before.topLeft());
    QCOMPARE(layout.Image1->height(), before.height());
}

void FormLayoutTest::menu()
{
    QCOMPARE(window_->findChild<QMenu*>("mnu_Datei"), layout_->mnu_Datei);
    QCOMPARE(window_->findChild<QAction*>("mnu_suchen"), layout_->mnu_suchen);
    QCOMPARE(window_->menuBar()->actions(), QList<QAction*> { layout_->mnu_Datei->menuAction() });
    QCOMPARE(layout_->mnu_Datei->title(), QString("Datei"));
    QCOMPARE(layout_->mnu_Datei->actions(), QList<QAction*> { layout_->mnu_suchen });
    QCOMPARE(layout_->mnu_suchen->text(), QString::fromUtf8("Tavik 2.0 Datendatei öffnen"));
}

void FormLayoutTest::hiddenButtons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    QTest::newRow("task 1, copy") << "Command5"
                                  << "kopieren";
    QTest::newRow("task 2, rebinding") << "Command4"
                                       << "Datenpfad auf 3.0 setzen";
    QTest::newRow("VAT question") << "Command8"
                                  << "Command8";
    QTest::newRow("task 3, fields") << "Command1" << QString::fromUtf8("Datenfelder zufügen");
    QTest::newRow("task 4, import") << "Command2" << QString::fromUtf8("Daten einfügen");
}

void FormLayoutTest::hiddenButtons()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);

    auto* button = window_->findChild<QPushButton*>(name);
    QVERIFY2(button, qPrintable(name + " missing"));
    QCOMPARE(button->text(), caption);
    QVERIFY(!button->isVisible());
}

void FormLayoutTest::timers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("interval");

    QTest::newRow("step 1 after one second") << "Timer2" << 1000;
    QTest::newRow("step 2 after two seconds") << "Timer3" << 2000;
    QTest::newRow("step 3 after three seconds") << "Timer4" << 3000;
    QTest::newRow("step 4 after four seconds") << "Timer5" << 4000;
    QTest::newRow("progress animation every 100 ms") << "Timer6" << 100;
}

void FormLayoutTest::timers()
{
    QFETCH(QString, name);
    QFETCH(int, interval);

    auto* timer = window_->findChild<QTimer*>(name);
    QVERIFY2(timer, qPrintable(name + " missing"));
    QCOMPARE(timer->interval(), interval);
    QVERIFY(!timer->isActive());
}

QTEST_MAIN(FormLayoutTest)
#include "FormLayoutTest.moc"

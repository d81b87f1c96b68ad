#include "app/FormLayout.h"

#include "store/StoreTexts.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <optional>

// Outside any namespace, as Qt requires: the pictures live in a static library, whose resource
// object the linker would drop unless something refers to it.
static void loadFormPictures()
{
    Q_INIT_RESOURCE(form);
}

namespace tavik::app {

namespace {

struct TwipBox {
    double left;
    double top;
    double width;
    double height;
};

constexpr TwipBox formSize { 0, 0, 9630, 8805 };
constexpr TwipBox progressTrack { 360, 6360, 8595, 735 };
constexpr TwipBox progressFill { 360, 6360, 15, 720 };
constexpr double doneMarkLeft = 6120;
constexpr double doneMarkSize = 480;
constexpr std::array<double, 4> doneMarkTops { 3720, 4320, 4920, 5520 };

enum class Typeface { SansSerif, Arial };

struct FontLook {
    Typeface face;
    double pointSize;
    bool bold;
};

constexpr FontLook defaultFont { Typeface::SansSerif, 8.25, false };

struct TextLabel {
    QLabel* FormLayout::*member;
    const char* name;
    TwipBox box;
    const char* text;
    FontLook font;
    std::optional<QRgb> colour; // none: the system's text colour
    Qt::Alignment alignment;
};

constexpr Qt::Alignment leftAligned = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
constexpr Qt::Alignment rightAligned = Qt::AlignRight | Qt::AlignTop;
constexpr FontLook taskFont { Typeface::SansSerif, 9.75, true };
constexpr FontLook pathCaptionFont { Typeface::SansSerif, 8.25, true };
constexpr FontLook largeArial { Typeface::Arial, 12, true };

// The window's texts, in their one place; a task's caption is the name its log lines and the report
// give it. Paths stay empty until the window's start-up fills them.
constexpr const char* windowTitle = "Tavik 2.0 Datenaufbereitung für Tavik 5.0";
constexpr const char* fileMenuTitle = "Datei";
constexpr const char* taskCaption(store::RunTask task)
{
    return store::texts::taskNameUtf8(task);
}
constexpr const char* openSourceFileItem = taskCaption(store::RunTask::SelectSource);
constexpr const char* startCaption = "Start";
constexpr const char* okCaption = "OK";

const std::array<TextLabel, 13> textLabels { {
    { &FormLayout::Label2, "Label2", { 1320, 240, 6525, 435 },
        "''Tavik 2.0'' und \"Tavik 5.0\" müssen geschlossen sein !   ", largeArial, {}, centred },
    { &FormLayout::Label12, "Label12", { 360, 840, 8655, 1335 },
        "Durch Klick auf ''Start'' werden alle Aufgaben automatisch ausgeführt. Anschließend können "
        "Sie Tavik 5.0 mit Ihren aufbereiteten Daten starten. Die Tavik 2.0 Datendatei bleibt "
        "unverändert und Tavik 2.0 kann nach wie vor wie gewohnt ausgeführt werden.",
        { Typeface::SansSerif, 12, true }, qRgb(128, 0, 0), centred },
    { &FormLayout::Label3, "Label3", { 120, 2520, 2055, 495 }, "Tavik 2.0 Datendatei:", pathCaptionFont, {},
        rightAligned },
    { &FormLayout::Label7, "Label7", { 2280, 2520, 6735, 495 }, "", defaultFont, {}, leftAligned },
    { &FormLayout::Label8, "Label8", { 120, 3120, 2055, 495 }, "Tavik 5.0 Datendatei:", pathCaptionFont, {},
        rightAligned },
    { &FormLayout::Label6, "Label6", { 2280, 3120, 6735, 495 }, "", defaultFont, {}, leftAligned },
    { &FormLayout::Label11, "Label11", { 360, 3840, 1935, 255 }, "Aufgaben:", taskFont, {}, rightAligned },
    { &FormLayout::Label4, "Label4", { 3000, 3840, 3615, 615 }, taskCaption(store::RunTask::Copy), taskFont, {},
        leftAligned },
    { &FormLayout::Label5, "Label5", { 3000, 4440, 3495, 495 }, taskCaption(store::RunTask::Bind), taskFont, {},
        leftAligned },
    { &FormLayout::Label9, "Label9", { 3000, 5040, 3015, 375 }, taskCaption(store::RunTask::Fields), taskFont, {},
        leftAligned },
    { &FormLayout::Label10, "Label10", { 3000, 5640, 2535, 375 }, taskCaption(store::RunTask::Import), taskFont, {},
        leftAligned },
    { &FormLayout::Labelct, "Labelct", { 480, 6600, 8295, 375 }, "0", largeArial, qRgb(255, 255, 255), centred },
    { &FormLayout::Label13, "Label13", { 240, 8040, 9015, 855 },
        "Beim Punkt \"4. Daten importieren\" kann es möglich sein, dass sich bis zu 5 Minuten nichts zu "
        "bewegt. Haben Sie hier bitte Geduld.",
        largeArial, qRgb(255, 0, 0), centred },
} };

struct HiddenButton {
    QPushButton* FormLayout::*member;
    const char* name;
    const char* caption;
};

const std::array<HiddenButton, 5> hiddenButtons { {
    { &FormLayout::Command5, "Command5", "kopieren" },
    { &FormLayout::Command4, "Command4", "Datenpfad auf 3.0 setzen" },
    { &FormLayout::Command8, "Command8", "Command8" },
    { &FormLayout::Command1, "Command1", "Datenfelder zufügen" },
    { &FormLayout::Command2, "Command2", "Daten einfügen" },
} };

struct StepTimer {
    QTimer* FormLayout::*member;
    const char* name;
    int intervalMs;
};

const std::array<StepTimer, 5> timers { {
    { &FormLayout::Timer2, "Timer2", 1000 },
    { &FormLayout::Timer3, "Timer3", 2000 },
    { &FormLayout::Timer4, "Timer4", 3000 },
    { &FormLayout::Timer5, "Timer5", 4000 },
    { &FormLayout::Timer6, "Timer6", 100 },
} };

// The old window's faces are rarely installed outside Windows. Faces with Arial's metrics come
// next; DejaVu Sans Condensed precedes the generic face because plain DejaVu Sans, the usual
// generic one, runs about a sixth wider than Arial and breaks the old window's lines.
QFont fontFor(const FontLook& look)
{
    QFont font;
    if (look.face == Typeface::Arial)
        font.setFamilies(
            { "Arial", "Liberation Sans", "Arimo", "Helvetica", "DejaVu Sans Condensed", "Sans Serif" });
    else
        font.setFamilies({ "MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Helvetica",
            "DejaVu Sans Condensed", "Sans Serif" });
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(look.pointSize);
    font.setBold(look.bold);
    return font;
}

QRect pixelRect(const Twips& scale, const TwipBox& box)
{
    return scale.toPixelRect(box.left, box.top, box.width, box.height);
}

void setColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

} // namespace

FormLayout::FormLayout(QMainWindow& window, Twips scale)
    : scale_(scale)
{
    loadFormPictures();
    buildWindow(window);
    buildTextLabels();
    buildDoneMarks();
    buildProgressBar();
    buildButtons();
    buildMenu(window);
    buildTimers();
}

void FormLayout::buildWindow(QMainWindow& window)
{
    window.setObjectName("format");
    window.setWindowTitle(QString::fromUtf8(windowTitle));
    window.setWindowIcon(QIcon(":/form/window-icon.png"));

    form = new QWidget(&window);
    form->setObjectName("form");
    form->setFont(fontFor(defaultFont));
    form->setAutoFillBackground(true);
    setColour(*form, QPalette::Window, Qt::white);
    form->setFixedSize(pixelRect(scale_, formSize).size());
    window.setCentralWidget(form);
    // The window keeps the size of its content: the form below a menu bar.
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void FormLayout::buildTextLabels()
{
    for (const TextLabel& entry : textLabels) {
        auto* label = new QLabel(QString::fromUtf8(entry.text), form);
        label->setObjectName(entry.name);
        label->setGeometry(pixelRect(scale_, entry.box));
        label->setFont(fontFor(entry.font));
        label->setAlignment(entry.alignment);
        label->setWordWrap(true);
        if (entry.colour)
            setColour(*label, QPalette::WindowText, QColor::fromRgb(*entry.colour));
        this->*entry.member = label;
    }
}

void FormLayout::buildDoneMarks()
{
    const QPixmap mark(":/form/done-mark.png");
    for (std::size_t task = 0; task < Image2.size(); ++task) {
        auto* image = new QLabel(form);
        image->setObjectName(QString("Image2_%1").arg(task));
        image->setGeometry(
            pixelRect(scale_, { doneMarkLeft, doneMarkTops[task], doneMarkSize, doneMarkSize }));
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        image->setPixmap(mark);
        image->hide();
        Image2[task] = image;
    }
}

void FormLayout::buildProgressBar()
{
    Shape1 = new QWidget(form);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(pixelRect(scale_, progressTrack));
    Shape1->setAutoFillBackground(true);
    setColour(*Shape1, QPalette::Window, QColor(192, 192, 255));

    Image1 = new QLabel(form);
    Image1->setObjectName("Image1");
    Image1->setGeometry(pixelRect(scale_, progressFill));
    Image1->setPixmap(QPixmap(":/form/progress-fill.jpg"));
    Image1->setScaledContents(true);
    progressFillWidth_ = progressFill.width;

    // The percentage is drawn over the fill, and the fill over the track.
    Image1->stackUnder(Labelct);
    Shape1->stackUnder(Image1);
}

void FormLayout::buildButtons()
{
    Command6 = new QPushButton(startCaption, form);
    Command6->setObjectName("Command6");
    Command6->setGeometry(pixelRect(scale_, { 3720, 7440, 2175, 495 }));
    Command6->setFont(fontFor({ Typeface::SansSerif, 9.75, false }));

    Command7 = new QPushButton(okCaption, form);
    Command7->setObjectName("Command7");
    Command7->setGeometry(pixelRect(scale_, { 3600, 7440, 2295, 495 }));
    Command7->hide();

    for (const HiddenButton& entry : hiddenButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), form);
        button->setObjectName(entry.name);
        button->hide();
        this->*entry.member = button;
    }
}

void FormLayout::buildMenu(QMainWindow& window)
{
    mnu_Datei = window.menuBar()->addMenu(fileMenuTitle);
    mnu_Datei->setObjectName("mnu_Datei");
    mnu_suchen = mnu_Datei->addAction(QString::fromUtf8(openSourceFileItem));
    mnu_suchen->setObjectName("mnu_suchen");
}

void FormLayout::buildTimers()
{
    for (const StepTimer& entry : timers) {
        auto* timer = new QTimer(form);
        timer->setObjectName(entry.name);
        timer->setInterval(entry.intervalMs);
        this->*entry.member = timer;
    }
}

void FormLayout::setProgressFillWidth(double twips)
{
    progressFillWidth_ = twips;
    Image1->resize(scale_.toPixelsX(twips), Image1->height());
}

double FormLayout::progressTrackWidth() const
{
    return progressTrack.width;
}

} // namespace tavik::app

#pragma once

#include "app/Twips.h"

#include <array>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QTimer;
class QWidget;

namespace tavik::app {

// The controls of the main window "format": the visible layout, the menu, the hidden task buttons
// and the chain's timers, all stopped and in their start state. It builds them on the window it is
// given and only points at them; the window owns them. The members keep the controls' names, and
// every object carries its name as objectName, because the task chain and the tests find the
// controls by those names.
class FormLayout {
public:
    // Positions are given in twips and turned into pixels with `scale`, once, here.
    FormLayout(QMainWindow& window, Twips scale);

    FormLayout(const FormLayout&) = delete;
    FormLayout& operator=(const FormLayout&) = delete;

    // The progress fill grows by fractions of a twip; the control takes the nearest whole pixel.
    void setProgressFillWidth(double twips);
    double progressFillWidth() const { return progressFillWidth_; }
    double progressTrackWidth() const;

    QWidget* form = nullptr;

    QLabel* Label2 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    std::array<QLabel*, 4> Image2 {};
    QWidget* Shape1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Labelct = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QLabel* Label13 = nullptr;

    QMenu* mnu_Datei = nullptr;
    QAction* mnu_suchen = nullptr;

    QPushButton* Command5 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QTimer* Timer4 = nullptr;
    QTimer* Timer5 = nullptr;
    QTimer* Timer6 = nullptr;

private:
    void buildWindow(QMainWindow& window);
    void buildTextLabels();
    void buildDoneMarks();
    void buildProgressBar();
    void buildButtons();
    void buildMenu(QMainWindow& window);
    void buildTimers();

    Twips scale_;
    double progressFillWidth_ = 0.0;
};

} // namespace tavik::app

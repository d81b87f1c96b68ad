#include "app/WindowImportProgress.h"
#include "app/FormLayout.h"

#include <QLabel>
#include <QMainWindow>
#include <QtTest>

using tavik::app::FormLayout;
using tavik::app::Twips;
using tavik::app::WindowImportProgress;

// The import's done/total as the window's bar shows it: the fill in twips over the 8595 of the
// track, and the percentage beside it.
class WindowImportProgressTest : public QObject {
    Q_OBJECT

private slots:
    void barFollowsTheWalk_data();
    void barFollowsTheWalk();
};

void WindowImportProgressTest::barFollowsTheWalk_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<float>>("fills");
    QTest::addColumn<QStringList>("percents");
    QTest::newRow("three reservations") << 3 << QList<float> { 2865, 5730, 8595 }
                                        << QStringList { "33 %", "67 %", "100 %" };
    QTest::newRow("eight reservations: 12.5 and 62.5 go down, 37.5 and 87.5 up")
        << 8 << QList<float> { 1074.375f, 2148.75f, 3223.125f, 4297.5f, 5371.875f, 6446.25f, 7520.625f, 8595 }
        << QStringList { "12 %", "25 %", "38 %", "50 %", "62 %", "75 %", "88 %", "100 %" };
    QTest::newRow("a walk past its count passes the track and 100")
        << 2 << QList<float> { 4297.5f, 8595, 12892.5f } << QStringList { "50 %", "100 %", "150 %" };
    QTest::newRow("no count: no fill, the largest percentage") << 0 << QList<float> { 0 } << QStringList { "32767 %" };
}

void WindowImportProgressTest::barFollowsTheWalk()
{
    QFETCH(int, total);
    QFETCH(QList<float>, fills);
    QFETCH(QStringList, percents);
    QMainWindow window;
    FormLayout form(window, Twips(96, 96));
    // Where the animation before the import leaves the fill.
    form.setProgressFillWidth(5000);
    WindowImportProgress progress(form);

    progress.begin(total);
    QCOMPARE(form.progressFillWidth(), 0.0);
    QList<float> shownFills;
    QStringList shownPercents;
    for (qint64 done = 1; done <= fills.size(); ++done) {
        progress.reservationDone(done, total);
        shownFills << static_cast<float>(form.progressFillWidth());
        shownPercents << form.Labelct->text();
    }

    QCOMPARE(shownFills, fills);
    QCOMPARE(shownPercents, percents);
}

QTEST_MAIN(WindowImportProgressTest)
#include "WindowImportProgressTest.moc"

#include "app/WindowImportProgress.h"

#include "app/FormLayout.h"

#include <QLabel>
#include <QThread>

namespace tavik::app {

WindowImportProgress::WindowImportProgress(FormLayout& form)
    : form_(form)
{
}

void WindowImportProgress::begin(qint32)
{
    form_.setProgressFillWidth(0);
}

void WindowImportProgress::reservationDone(qint64, float fillWidthTwips, qint16 percent)
{
    form_.setProgressFillWidth(fillWidthTwips);
    const QString percentText = QString::number(percent) + QStringLiteral(" %");
    form_.Labelct->setText(percentText);
    // Drawn only when a pixel or the number changed: a large hotel has far more reservations
    // than the bar has pixels.
    if (form_.Image1->width() != drawnFillPixels_ || percentText != drawnPercent_) {
        drawnFillPixels_ = form_.Image1->width();
        drawnPercent_ = percentText;
        form_.Shape1->repaint();
        form_.Image1->repaint();
        form_.Labelct->repaint();
    }
    QThread::msleep(1);
}

} // namespace tavik::app

#include "app/WindowImportProgress.h"

#include "app/FormLayout.h"
#include "app/ImportPercent.h"

#include <QLabel>
#include <QThread>

namespace tavik::app {

WindowImportProgress::WindowImportProgress(FormLayout& form)
    : form_(form)
    , trackWidthTwips_(form.progressTrackWidth())
{
}

void WindowImportProgress::begin(qint32)
{
    form_.setProgressFillWidth(0);
}

void WindowImportProgress::reservationDone(qint64 done, qint32 total)
{
    const double step = total > 0 ? trackWidthTwips_ / total : 0.0;
    form_.setProgressFillWidth(static_cast<float>(step * static_cast<double>(done)));
    const QString percentText = QString::number(importPercent(done, total)) + QStringLiteral(" %");
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

#pragma once

#include "import/ImportProgress.h"

#include <QString>

namespace tavik::app {

class FormLayout;

// The import's progress in the window: the fill and the percentage, redrawn at once as the walk
// goes on (the walk holds the window's thread, so nothing else would draw them), and the pause of
// one millisecond per reservation that the window keeps.
class WindowImportProgress : public import::ImportProgress {
public:
    explicit WindowImportProgress(FormLayout& form);

    void begin(qint32 Gesamtzahl) override;
    void reservationDone(qint64 Buchungszaehler, float fillWidthTwips, qint16 percent) override;

private:
    FormLayout& form_;
    int drawnFillPixels_ = -1;
    QString drawnPercent_;
};

} // namespace tavik::app

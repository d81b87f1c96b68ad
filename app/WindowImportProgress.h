#pragma once

#include "import/ImportProgress.h"

#include <QString>

namespace tavik::app {

class FormLayout;

// The import's progress in the window: the fill and the percentage, redrawn at once as the walk
// goes on (the walk holds the window's thread, so nothing else would draw them), and the pause of
// one millisecond per reservation that the window keeps. Each reservation adds the same step of
// the track to the fill, as the form's float width; the fill passes the track when the walk passes
// its count.
class WindowImportProgress : public import::ImportProgress {
public:
    explicit WindowImportProgress(FormLayout& form);

    void begin(qint32 total) override;
    void reservationDone(qint64 done, qint32 total) override;

private:
    FormLayout& form_;
    double trackWidthTwips_;
    int drawnFillPixels_ = -1;
    QString drawnPercent_;
};

} // namespace tavik::app

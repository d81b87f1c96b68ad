#pragma once

#include "import/ImportProgress.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QString>

#include <cstdio>
#include <optional>

namespace tavik::app {

// The batch mode's terminal: the result on stdout, messages and progress on stderr. Progress is
// only drawn when stderr is a terminal; a script gets nothing but the result.
class BatchConsole : public import::ImportProgress {
public:
    BatchConsole(QLocale numberFormat, std::FILE* out = stdout, std::FILE* err = stderr, std::FILE* in = stdin);

    void result(const QString& text);
    // One message; paths and values in it may hold control characters, which are written out.
    void error(const QString& text);

    // Whether stdin is a terminal, so that a question can be asked at all.
    bool canAsk() const;
    // The VAT question on the terminal, "19" when the user just presses Enter; nothing when stdin
    // is not a terminal or closes.
    std::optional<QString> askFoodAndDrinkVat();

    void taskStarted(const QString& name);
    void taskFinished(double seconds);

    void begin(qint32 total) override;
    void reservationDone(qint64 done, qint32 total) override;

    bool showsProgress() const { return progress_; }
    const QLocale& numberFormat() const { return numberFormat_; }

private:
    void write(std::FILE* stream, const QString& text);
    void drawImportLine(qint64 done, qint16 percent);

    QLocale numberFormat_;
    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    bool progress_;
    qint32 total_ = 0;
    QElapsedTimer importClock_;
    qint64 lastDrawnMs_ = -1;
};

} // namespace tavik::app

#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavik::app {

// How many skipped operations a run may have before it is undone (--max-skipped): a number, or a
// share of the reservations the import walked. The skipped operations of every task are counted.
class SkipLimit {
public:
    // "50" or "2%" / "2,5%"; nothing for anything else (negative, over 100 %, not a number).
    static std::optional<SkipLimit> parse(const QString& text);

    // As the user gave it.
    const QString& text() const { return text_; }
    // How many are allowed after walking that many reservations; for a share it may have a fraction.
    double allowed(qint64 reservationsWalked) const;
    bool exceededBy(qint64 skipped, qint64 reservationsWalked) const;
    // An allowed number as the user reads it beside the count skipped: no thousands separator, no
    // exponent, a fraction only where there is one.
    static QString allowedText(double allowed, QLocale format);

private:
    QString text_;
    double value_ = 0;
    bool share_ = false;
};

} // namespace tavik::app

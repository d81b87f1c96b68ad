#include "app/SkipLimit.h"

#include <QRegularExpression>

namespace tavik::app {

std::optional<SkipLimit> SkipLimit::parse(const QString& text)
{
    // Written by hand on both sides of the decimal point: a German "2,5%" means the same as "2.5%".
    static const QRegularExpression count(QStringLiteral("^[0-9]{1,15}$"));
    static const QRegularExpression share(QStringLiteral("^([0-9]{1,3})(?:[.,]([0-9]{1,6}))?%$"));
    SkipLimit limit;
    limit.text_ = text;
    if (count.match(text).hasMatch()) {
        limit.value_ = text.toDouble();
        return limit;
    }
    const QRegularExpressionMatch match = share.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    limit.share_ = true;
    limit.value_ = (match.captured(1) + QLatin1Char('.') + match.captured(2) + QLatin1Char('0')).toDouble();
    if (limit.value_ > 100)
        return std::nullopt;
    return limit;
}

double SkipLimit::allowed(qint64 reservationsWalked) const
{
    return share_ ? value_ * double(reservationsWalked) / 100 : value_;
}

QString SkipLimit::allowedText(double allowed, QLocale format)
{
    format.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = format.toString(allowed, 'f', 6);
    const QString point = format.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    return text;
}

bool SkipLimit::exceededBy(qint64 skipped, qint64 reservationsWalked) const
{
    // Compared without dividing, so that 1 % of 300 allows exactly 3.
    return share_ ? double(skipped) * 100 > value_ * double(reservationsWalked) : double(skipped) > value_;
}

} // namespace tavik::app

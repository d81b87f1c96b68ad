#include "import/ImportNumbers.h"

#include "store/NumberText.h"

#include <cmath>
#include <limits>

namespace tavik::import {

std::optional<double> readAmount(const QVariant& value, const QLocale& numberFormat)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toDouble();
    default:
        break;
    }
    const QString text = value.toString();
    if (const std::optional<double> amount = store::readStrict(text, numberFormat))
        return amount;
    const QString ownSeparator = numberFormat.decimalPoint();
    if (ownSeparator != QLatin1String(",") && ownSeparator != QLatin1String("."))
        return std::nullopt;
    const QChar otherSeparator = ownSeparator == QLatin1String(",") ? u'.' : u',';
    if (text.count(otherSeparator) != 1 || text.contains(ownSeparator))
        return std::nullopt;
    QString withOwnSeparator = text;
    withOwnSeparator.replace(otherSeparator, ownSeparator);
    return store::readStrict(withOwnSeparator, numberFormat);
}

std::optional<qint16> toInt16HalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

} // namespace tavik::import

#include "store/NumberText.h"

namespace tavik::store {

QString numberToText(double value, const QLocale& numberFormat)
{
    return numberFormat.toString(value, 'g', 15);
}

double readLenient(const QString& text)
{
    return text.trimmed().toDouble();
}

std::optional<double> readStrict(const QString& text, const QLocale& numberFormat)
{
    bool ok = false;
    const double value = numberFormat.toDouble(text.trimmed(), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace tavik::store

#include "import/ImportNumbers.h"

#include "store/NumberText.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tavik::import {

namespace {

// Enough for every rate and the common amounts of a large hotel; beyond it the readings are
// dropped and gathered anew, so memory stays bounded whatever the file holds.
constexpr std::size_t keptReadings = 16384;

template <typename StrictReading>
std::optional<double> readAmountWith(
    const QVariant& value, const QLocale& numberFormat, StrictReading readStrict)
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
    if (const std::optional<double> amount = readStrict(text))
        return amount;
    const QString ownSeparator = numberFormat.decimalPoint();
    if (ownSeparator != QLatin1String(",") && ownSeparator != QLatin1String("."))
        return std::nullopt;
    const QChar otherSeparator = ownSeparator == QLatin1String(",") ? u'.' : u',';
    if (text.count(otherSeparator) != 1 || text.contains(ownSeparator))
        return std::nullopt;
    QString withOwnSeparator = text;
    withOwnSeparator.replace(otherSeparator, ownSeparator);
    return readStrict(withOwnSeparator);
}

} // namespace

std::optional<double> readAmount(const QVariant& value, const QLocale& numberFormat)
{
    return readAmountWith(value, numberFormat,
        [&numberFormat](const QString& text) { return store::readStrict(text, numberFormat); });
}

RunNumbers::RunNumbers(QLocale numberFormat)
    : numberFormat_(std::move(numberFormat))
{
}

std::size_t RunNumbers::TextHash::operator()(const QString& text) const noexcept
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const QChar character : text) {
        hash ^= character.unicode();
        hash *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash);
}

std::optional<double> RunNumbers::strict(const QString& text)
{
    if (const auto known = strictReadings_.find(text); known != strictReadings_.end())
        return known->second;
    if (strictReadings_.size() >= keptReadings)
        strictReadings_.clear();
    const std::optional<double> reading = store::readStrict(text, numberFormat_);
    strictReadings_.emplace(text, reading);
    return reading;
}

std::optional<double> RunNumbers::amount(const QVariant& value)
{
    return readAmountWith(value, numberFormat_, [this](const QString& text) { return strict(text); });
}

QString RunNumbers::text(double value)
{
    const quint64 bits = std::bit_cast<quint64>(value);
    if (const auto known = texts_.find(bits); known != texts_.end())
        return known->second;
    if (texts_.size() >= keptReadings)
        texts_.clear();
    return texts_.emplace(bits, store::numberToText(value, numberFormat_)).first->second;
}

QLocale withoutSystemLookups(const QLocale& numberFormat)
{
    const QLocale named(numberFormat.name());
    const bool sameSymbols = named.decimalPoint() == numberFormat.decimalPoint()
        && named.groupSeparator() == numberFormat.groupSeparator()
        && named.negativeSign() == numberFormat.negativeSign()
        && named.positiveSign() == numberFormat.positiveSign()
        && named.exponential() == numberFormat.exponential() && named.zeroDigit() == numberFormat.zeroDigit()
        && named.percent() == numberFormat.percent();
    return sameSymbols ? named : numberFormat;
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

double asShown(double value)
{
    if (!std::isfinite(value))
        return value;
    std::array<char, 64> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific, 14);
    double shown = value;
    std::from_chars(buffer.data(), written.ptr, shown);
    return shown;
}

} // namespace tavik::import

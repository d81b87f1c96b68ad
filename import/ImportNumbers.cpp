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

// FNV-1a: qHash of a QString runs AES instructions, which some virtual machines make slower
// than the reading itself; the texts here are a few characters long.
std::size_t hashOf(const QString& text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const QChar character : text) {
        hash ^= character.unicode();
        hash *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

// The bits of a double that vary for everyday amounts lie at the top; they are folded down.
std::size_t hashOf(quint64 bits)
{
    bits ^= bits >> 29;
    bits *= 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(bits ^ (bits >> 32));
}

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
    , decimalPoint_(store::asciiDecimalPoint(numberFormat_))
    , readings_(slotCount)
    , amounts_(slotCount)
    , writings_(slotCount)
{
}

template <typename Read>
std::optional<double> RunNumbers::readingOf(std::vector<Reading>& table, const QString& text, Read read)
{
    Reading& slot = table[hashOf(text) & (slotCount - 1)];
    if (!slot.used || slot.text != text) {
        slot.value = read();
        slot.text = text;
        slot.used = true;
    }
    return slot.value;
}

std::optional<double> RunNumbers::strict(const QString& text)
{
    return readingOf(readings_, text, [&] { return store::readStrict(text, numberFormat_); });
}

std::optional<double> RunNumbers::amount(const QVariant& value)
{
    const auto readStrict = [this](const QString& text) { return strict(text); };
    if (value.typeId() != QMetaType::QString)
        return readAmountWith(value, numberFormat_, readStrict);
    const QString& text = *static_cast<const QString*>(value.constData());
    return readingOf(amounts_, text, [&] { return readAmountWith(value, numberFormat_, readStrict); });
}

std::optional<double> RunNumbers::amount(const QString& text)
{
    const auto readStrict = [this](const QString& text) { return strict(text); };
    return readingOf(amounts_, text, [&] { return readAmountWith(QVariant(text), numberFormat_, readStrict); });
}

QString RunNumbers::text(double value)
{
    const quint64 bits = std::bit_cast<quint64>(value);
    Writing& slot = writings_[hashOf(bits) & (slotCount - 1)];
    if (!slot.used || slot.bits != bits) {
        slot.text = store::numberToText(value, numberFormat_);
        slot.bits = bits;
        slot.used = true;
    }
    return slot.text;
}

std::string_view RunNumbers::plainText(double value, std::array<char, 24>& room) const
{
    const int size = decimalPoint_ ? store::plainNumberText(value, decimalPoint_, room.data()) : -1;
    return size > 0 ? std::string_view(room.data(), std::size_t(size)) : std::string_view();
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
    // Nearly every rate is a whole number, and one of fewer than 16 digits keeps all of them.
    if (std::fabs(value) < 1e15 && std::trunc(value) == value)
        return value;
    std::array<char, 64> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific, 14);
    double shown = value;
    std::from_chars(buffer.data(), written.ptr, shown);
    return shown;
}

} // namespace tavik::import

#include "store/NumberText.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace tavik::store {

namespace {

constexpr int significantDigits = 15;
// Positional notation covers leading-digit powers of ten from -4 to 14, like the numbers users
// type; everything outside would be a long row of zeros.
constexpr int smallestPositionalPower = -4;
constexpr int largestPositionalPower = significantDigits - 1;
// Far enough beyond the double range (about 1E-324 to 1.8E+308) that the outcome is certain
// without converting, close enough that the exponent handed to the converter stays small.
constexpr std::int64_t certainOverflowPower = 400;
constexpr std::int64_t certainUnderflowPower = -400;
// Typed exponents are capped here; any larger one is out of range anyway and the cap keeps the
// arithmetic on it from overflowing.
constexpr std::int64_t exponentCap = 1'000'000'000;

// A value rounded to 15 significant digits: digits without trailing zeros, and the power of
// ten of the first digit.
struct RoundedDecimal {
    bool negative = false;
    std::string digits;
    int leadingPower = 0;
};

// A number as read from text: value = digits (as one integer) * 10^exponent.
struct DecimalParts {
    bool negative = false;
    std::string digits;
    std::int64_t exponent = 0;
};

bool isBlank(QChar character)
{
    return character == u' ' || character == u'\t' || character == u'\r' || character == u'\n';
}

bool isAsciiDigit(QChar character)
{
    return character >= u'0' && character <= u'9';
}

// to_chars is used because snprintf and QString::number would pick up the C library's locale,
// which QCoreApplication sets from the environment.
RoundedDecimal roundToSignificantDigits(double value)
{
    std::array<char, 64> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
        std::chars_format::scientific, significantDigits - 1);
    const std::string_view text(buffer.data(), written.ptr - buffer.data()); // "d.ddddddddddddddde+XX"
    const auto exponentMark = text.find('e');

    RoundedDecimal rounded;
    rounded.negative = std::signbit(value);
    rounded.digits = std::string(text.substr(0, 1)) + std::string(text.substr(2, exponentMark - 2));
    rounded.digits.erase(rounded.digits.find_last_not_of('0') + 1);
    std::string_view exponentText = text.substr(exponentMark + 1);
    if (exponentText.front() == '+')
        exponentText.remove_prefix(1); // from_chars accepts only the minus sign
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), rounded.leadingPower);
    return rounded;
}

QString positionalForm(const RoundedDecimal& rounded, const QString& separator)
{
    const QString digits = QString::fromLatin1(rounded.digits);
    if (rounded.leadingPower < 0)
        return QStringLiteral("0") + separator + QString(-rounded.leadingPower - 1, u'0') + digits;
    const qsizetype integerLength = rounded.leadingPower + 1;
    if (digits.size() <= integerLength)
        return digits + QString(integerLength - digits.size(), u'0');
    return digits.left(integerLength) + separator + digits.mid(integerLength);
}

QString exponentForm(const RoundedDecimal& rounded, const QString& separator)
{
    const QString digits = QString::fromLatin1(rounded.digits);
    QString text = digits.left(1);
    if (digits.size() > 1)
        text += separator + digits.mid(1);
    text += rounded.leadingPower < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
    text += QString::number(std::abs(rounded.leadingPower)).rightJustified(2, u'0');
    return text;
}

// Walks through a text; the lenient reading lets it step over blanks wherever they stand.
class TextCursor {
public:
    TextCursor(QStringView text, bool skipsBlanks)
        : text(text)
        , skipsBlanks(skipsBlanks)
    {
        skipBlanks();
    }

    bool atEnd() const { return position >= text.size(); }
    QChar current() const { return atEnd() ? QChar() : text[position]; }

    void advance()
    {
        ++position;
        skipBlanks();
    }

    // An empty token never matches, so a locale without a given sign accepts none.
    bool takeIf(QStringView token)
    {
        if (token.isEmpty() || !text.sliced(position).startsWith(token))
            return false;
        position += token.size() - 1;
        advance();
        return true;
    }

private:
    void skipBlanks()
    {
        while (skipsBlanks && !atEnd() && isBlank(text[position]))
            ++position;
    }

    QStringView text;
    bool skipsBlanks;
    qsizetype position = 0;
};

// Appends the ASCII digits at the cursor and returns how many there were.
std::int64_t takeDigits(TextCursor& cursor, std::string& digits)
{
    std::int64_t count = 0;
    for (; isAsciiDigit(cursor.current()); cursor.advance(), ++count)
        digits.push_back(char(cursor.current().unicode()));
    return count;
}

// Takes an optional sign and tells whether it was a minus. The locale's own signs are accepted
// besides the ASCII ones because some locales write a minus other than '-'.
bool takeSign(TextCursor& cursor, QStringView localMinus = {}, QStringView localPlus = {})
{
    if (cursor.takeIf(u"-") || cursor.takeIf(localMinus))
        return true;
    if (!cursor.takeIf(u"+"))
        cursor.takeIf(localPlus);
    return false;
}

// The digits of an exponent with an optional sign; nothing when there is no digit.
std::optional<std::int64_t> takeExponentValue(TextCursor& cursor)
{
    const bool negative = takeSign(cursor);
    if (!isAsciiDigit(cursor.current()))
        return std::nullopt;
    std::int64_t value = 0;
    for (; isAsciiDigit(cursor.current()); cursor.advance())
        value = std::min(value * 10 + (cursor.current().unicode() - u'0'), exponentCap);
    return negative ? -value : value;
}

// The parts must already be checked; from_chars then does the correctly rounded conversion
// without looking at any locale. Nothing is returned when the value is beyond the double range;
// a value too small for a double becomes zero.
std::optional<double> toDouble(const DecimalParts& parts)
{
    const double zero = parts.negative ? -0.0 : 0.0;
    const auto firstSignificant = parts.digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return zero;
    const std::string_view significant = std::string_view(parts.digits).substr(firstSignificant);
    const std::int64_t leadingPower = std::int64_t(significant.size()) - 1 + parts.exponent;
    if (leadingPower > certainOverflowPower)
        return std::nullopt;
    if (leadingPower < certainUnderflowPower)
        return zero;

    const std::string text = std::string(significant) + 'e' + std::to_string(parts.exponent);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (leadingPower > 0)
            return std::nullopt;
        return zero;
    }
    return parts.negative ? -value : value;
}

QStringView withoutSurroundingBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

} // namespace

QString numberToText(double value, const QLocale& numberFormat)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return QStringLiteral("0");
    const RoundedDecimal rounded = roundToSignificantDigits(value);
    const QString separator = numberFormat.decimalPoint();
    const QString sign = rounded.negative ? QStringLiteral("-") : QString();
    if (rounded.leadingPower < smallestPositionalPower || rounded.leadingPower > largestPositionalPower)
        return sign + exponentForm(rounded, separator);
    return sign + positionalForm(rounded, separator);
}

double readLenient(const QString& text)
{
    TextCursor cursor(text, true);
    DecimalParts parts;
    parts.negative = takeSign(cursor);
    const std::int64_t integerDigits = takeDigits(cursor, parts.digits);
    std::int64_t fractionDigits = 0;
    if (cursor.takeIf(u"."))
        fractionDigits = takeDigits(cursor, parts.digits);
    if (integerDigits + fractionDigits == 0)
        return 0.0;

    std::int64_t exponent = 0;
    if (cursor.takeIf(u"E") || cursor.takeIf(u"e") || cursor.takeIf(u"D") || cursor.takeIf(u"d"))
        exponent = takeExponentValue(cursor).value_or(0);
    parts.exponent = exponent - fractionDigits;
    return toDouble(parts).value_or(0.0);
}

std::optional<double> readStrict(const QString& text, const QLocale& numberFormat)
{
    TextCursor cursor(withoutSurroundingBlanks(text), false);
    DecimalParts parts;
    parts.negative = takeSign(cursor, numberFormat.negativeSign(), numberFormat.positiveSign());
    const std::int64_t integerDigits = takeDigits(cursor, parts.digits);
    std::int64_t fractionDigits = 0;
    if (cursor.takeIf(numberFormat.decimalPoint()))
        fractionDigits = takeDigits(cursor, parts.digits);
    if (integerDigits + fractionDigits == 0)
        return std::nullopt;

    std::int64_t exponent = 0;
    if (cursor.takeIf(u"E") || cursor.takeIf(u"e")) {
        const auto exponentValue = takeExponentValue(cursor);
        if (!exponentValue)
            return std::nullopt;
        exponent = *exponentValue;
    }
    if (!cursor.atEnd())
        return std::nullopt;
    parts.exponent = exponent - fractionDigits;
    return toDouble(parts);
}

} // namespace tavik::store

#include "store/NumberText.h"

#include <QStringView>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// A value rounded to 15 significant digits: digits without trailing zeros, and the power of
// ten of the first digit. to_chars is used because snprintf and QString::number would pick up
// the C library's locale, which QCoreApplication sets from the environment.
struct RoundedDecimal {
    std::array<char, significantDigits> digits {};
    int digitCount = 0;
    int leadingPower = 0;

    explicit RoundedDecimal(double magnitude)
    {
        std::array<char, 32> buffer {};
        const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
            std::chars_format::scientific, significantDigits - 1);
        const std::string_view text(buffer.data(), written.ptr - buffer.data()); // "d.dddddddddddddde+XX"
        const auto exponentMark = text.find('e');
        digits[digitCount++] = text[0];
        for (std::size_t i = 2; i < exponentMark; ++i)
            digits[digitCount++] = text[i];
        while (digitCount > 1 && digits[digitCount - 1] == '0')
            --digitCount;
        std::string_view exponentText = text.substr(exponentMark + 1);
        if (exponentText.front() == '+')
            exponentText.remove_prefix(1); // from_chars accepts only the minus sign
        std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), leadingPower);
    }
};

// The text is written into one buffer and made a QString once: totals are written for every
// reservation of a run.
class NumberWriter {
public:
    explicit NumberWriter(const QString& separator)
        : separator_(separator)
    {
    }

    void put(char character) { units_.append(char16_t(character)); }
    void put(const char* characters, int count)
    {
        for (int i = 0; i < count; ++i)
            put(characters[i]);
    }
    void putZeros(int count)
    {
        for (int i = 0; i < count; ++i)
            put('0');
    }
    void putSeparator()
    {
        for (const QChar unit : separator_)
            units_.append(unit.unicode());
    }
    QString text() const
    {
        return QString(reinterpret_cast<const QChar*>(units_.constData()), units_.size());
    }

private:
    const QString& separator_;
    QVarLengthArray<char16_t, 48> units_;
};

void writePositional(const RoundedDecimal& rounded, NumberWriter& out)
{
    if (rounded.leadingPower < 0) {
        out.put('0');
        out.putSeparator();
        out.putZeros(-rounded.leadingPower - 1);
        out.put(rounded.digits.data(), rounded.digitCount);
        return;
    }
    const int integerLength = rounded.leadingPower + 1;
    if (rounded.digitCount <= integerLength) {
        out.put(rounded.digits.data(), rounded.digitCount);
        out.putZeros(integerLength - rounded.digitCount);
        return;
    }
    out.put(rounded.digits.data(), integerLength);
    out.putSeparator();
    out.put(rounded.digits.data() + integerLength, rounded.digitCount - integerLength);
}

void writeExponent(const RoundedDecimal& rounded, NumberWriter& out)
{
    out.put(rounded.digits[0]);
    if (rounded.digitCount > 1) {
        out.putSeparator();
        out.put(rounded.digits.data() + 1, rounded.digitCount - 1);
    }
    out.put('E');
    out.put(rounded.leadingPower < 0 ? '-' : '+');
    std::array<char, 8> power {};
    const auto written
        = std::to_chars(power.data(), power.data() + power.size(), std::abs(rounded.leadingPower));
    const int length = int(written.ptr - power.data());
    if (length < 2)
        out.put('0');
    out.put(power.data(), length);
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

// Plain decimals (a sign, at most 15 digits, at most one separator) are nearly all the numbers a
// run reads. Their digits form a whole number below 2^53 and their fraction digits a power of ten
// up to 10^15, both exact in a double, so one correctly rounded division gives the double nearest
// to the decimal, as the full conversion does, without building a text for it.
constexpr std::array<double, significantDigits + 1> exactPowersOfTen
    = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15 };

bool appendDigits(QStringView digits, std::uint64_t& whole)
{
    for (const QChar digit : digits) {
        if (!isAsciiDigit(digit))
            return false;
        whole = whole * 10 + (digit.unicode() - u'0');
    }
    return true;
}

// The value of a plain decimal; nothing when the text has another shape and needs the full reading.
std::optional<double> readPlainDecimal(QStringView text, QChar separator)
{
    text = withoutSurroundingBlanks(text);
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.sliced(1);
    const qsizetype separatorAt = text.indexOf(separator);
    const QStringView integerPart = separatorAt < 0 ? text : text.first(separatorAt);
    const QStringView fractionPart = separatorAt < 0 ? QStringView() : text.sliced(separatorAt + 1);
    const qsizetype digitCount = integerPart.size() + fractionPart.size();
    if (digitCount == 0 || digitCount > significantDigits)
        return std::nullopt;
    std::uint64_t whole = 0;
    if (!appendDigits(integerPart, whole) || !appendDigits(fractionPart, whole))
        return std::nullopt;
    const double magnitude = double(whole) / exactPowersOfTen[std::size_t(fractionPart.size())];
    return negative ? -magnitude : magnitude;
}

// The shortcut sees a sign, digits and the separator by themselves. It agrees with the strict
// reading only where the format's symbols cannot make that reading see the same text otherwise:
// a separator of one unit that is no digit, sign, blank or exponent mark, and signs of the format
// that cannot begin where the shortcut sees a digit or the separator (nor a plus, for the minus,
// which is looked for before the plus).
bool isPlainSeparator(QStringView separator)
{
    if (separator.size() != 1)
        return false;
    const QChar unit = separator.front();
    return !isAsciiDigit(unit) && !isBlank(unit) && unit != u'-' && unit != u'+' && unit != u'E'
        && unit != u'e';
}

bool signMayHidePlain(QStringView sign, QChar separator, bool isMinus)
{
    if (sign.isEmpty())
        return false;
    const QChar first = sign.front();
    return isAsciiDigit(first) || first == separator || (isMinus && first == u'+');
}

struct StrictSymbols {
    explicit StrictSymbols(const QLocale& numberFormat)
        : decimalPoint(numberFormat.decimalPoint())
        , negativeSign(numberFormat.negativeSign())
        , positiveSign(numberFormat.positiveSign())
    {
    }

    // The separator of the shortcut; nothing when this format must always be read in full.
    std::optional<QChar> plainSeparator() const
    {
        if (!isPlainSeparator(decimalPoint))
            return std::nullopt;
        const QChar separator = decimalPoint.front();
        if (signMayHidePlain(negativeSign, separator, true)
            || signMayHidePlain(positiveSign, separator, false))
            return std::nullopt;
        return separator;
    }

    QString decimalPoint;
    QString negativeSign;
    QString positiveSign;
};

std::optional<double> readStrictWith(const QString& text, const StrictSymbols& symbols)
{
    TextCursor cursor(withoutSurroundingBlanks(text), false);
    DecimalParts parts;
    parts.negative = takeSign(cursor, symbols.negativeSign, symbols.positiveSign);
    const std::int64_t integerDigits = takeDigits(cursor, parts.digits);
    std::int64_t fractionDigits = 0;
    if (cursor.takeIf(symbols.decimalPoint))
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

void writeRounded(double value, NumberWriter& out)
{
    const RoundedDecimal rounded(std::fabs(value));
    if (std::signbit(value))
        out.put('-');
    if (rounded.leadingPower < smallestPositionalPower || rounded.leadingPower > largestPositionalPower)
        writeExponent(rounded, out);
    else
        writePositional(rounded, out);
}

// Totals are nearly all whole cents. A decimal of at most 15 significant digits comes back from
// its nearest double when that is rounded to 15 digits (10^15 < 2^52), so when the value is the
// double nearest to a number of cents below 10^15, those cents are its text, and positional.
template <typename Writer> bool writeCents(double value, Writer& out)
{
    const double scaled = value * 100.0;
    if (!(std::fabs(scaled) < 1e15))
        return false;
    const long long cents = std::llround(scaled);
    if (double(cents) / 100.0 != value)
        return false;
    const unsigned long long magnitude = cents < 0 ? 0ULL - static_cast<unsigned long long>(cents) : cents;
    std::array<char, 24> whole {};
    const auto written = std::to_chars(whole.data(), whole.data() + whole.size(), magnitude / 100);
    if (cents < 0)
        out.put('-');
    out.put(whole.data(), int(written.ptr - whole.data()));
    const unsigned fraction = unsigned(magnitude % 100);
    if (fraction == 0)
        return true;
    out.putSeparator();
    out.put(char('0' + fraction / 10));
    if (fraction % 10 != 0)
        out.put(char('0' + fraction % 10));
    return true;
}

// Writes into a buffer of the caller's, for a decimal point of one ASCII character.
class AsciiWriter {
public:
    AsciiWriter(char separator, char* out)
        : separator_(separator)
        , start_(out)
        , at_(out)
    {
    }
    void put(char character) { *at_++ = character; }
    void put(const char* characters, int count)
    {
        std::memcpy(at_, characters, std::size_t(count));
        at_ += count;
    }
    void putSeparator() { put(separator_); }
    int size() const { return int(at_ - start_); }

private:
    char separator_;
    char* start_;
    char* at_;
};

// The text of a number; the whole-cents shortcut only where it is taken, so tests can compare.
QString writtenNumber(double value, const QLocale& numberFormat, bool centsShortcut)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return QStringLiteral("0");
    const QString separator = numberFormat.decimalPoint();
    NumberWriter out(separator);
    if (!centsShortcut || !writeCents(value, out))
        writeRounded(value, out);
    return out.text();
}

} // namespace

QString numberToTextFully(double value, const QLocale& numberFormat)
{
    return writtenNumber(value, numberFormat, false);
}

QString numberToText(double value, const QLocale& numberFormat)
{
    return writtenNumber(value, numberFormat, true);
}

int plainNumberText(double value, char decimalPoint, char* out)
{
    if (value == 0.0) {
        out[0] = '0';
        return 1;
    }
    if (!std::isfinite(value))
        return -1;
    AsciiWriter writer(decimalPoint, out);
    return writeCents(value, writer) ? writer.size() : -1;
}

char asciiDecimalPoint(const QLocale& numberFormat)
{
    const QString point = numberFormat.decimalPoint();
    return point.size() == 1 && point[0].unicode() > 0x20 && point[0].unicode() < 0x7f ? char(point[0].unicode()) : 0;
}

QString wholeNumberToText(qint64 value)
{
    std::array<char, 24> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), written.ptr - buffer.data());
}

double readLenientFully(const QString& text)
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

// Blanks inside the text fall to the full reading, which skips them; around it both skip them.
double readLenient(const QString& text)
{
    if (const std::optional<double> plain = readPlainDecimal(text, u'.'))
        return *plain;
    return readLenientFully(text);
}

std::optional<double> readStrictFully(const QString& text, const QLocale& numberFormat)
{
    return readStrictWith(text, StrictSymbols(numberFormat));
}

std::optional<double> readStrict(const QString& text, const QLocale& numberFormat)
{
    const StrictSymbols symbols(numberFormat);
    if (const std::optional<QChar> separator = symbols.plainSeparator()) {
        if (const std::optional<double> plain = readPlainDecimal(text, *separator))
            return plain;
    }
    return readStrictWith(text, symbols);
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

} // namespace tavik::store

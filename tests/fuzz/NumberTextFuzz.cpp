#include "import/ImportNumbers.h"
#include "store/NumberText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

using fuzzsupport::requireThat;
using tavik::import::readAmount;
using tavik::import::toInt16HalfEven;
using tavik::store::numberToText;
using tavik::store::numberToTextFully;
using tavik::store::readLenient;
using tavik::store::readLenientFully;
using tavik::store::readStrict;
using tavik::store::readStrictFully;

namespace {

struct NumberFormats {
    QLocale german { QLocale::German, QLocale::Germany };
    QLocale c = QLocale::c();
    QLocale swedish { QLocale::Swedish, QLocale::Sweden }; // a minus sign of its own
};

QString shown(double value)
{
    return QString::number(value, 'g', 17);
}

bool sameDouble(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

// The double nearest to the value written with 15 significant digits; nothing when that decimal
// lies beyond the double range. printf is the independent witness: this process never calls
// setlocale, so it writes a point.
std::optional<double> roundedTo15Digits(double value)
{
    std::array<char, 64> written {};
    std::snprintf(written.data(), written.size(), "%.14e", value);
    char* end = nullptr;
    const double rounded = std::strtod(written.data(), &end);
    if (std::isinf(rounded))
        return std::nullopt;
    return rounded;
}

bool sameReading(const std::optional<double>& a, const std::optional<double>& b)
{
    return a.has_value() == b.has_value() && (!a || sameDouble(*a, *b));
}

QString shown(const std::optional<double>& reading)
{
    return reading ? shown(*reading) : QStringLiteral("nichts");
}

// The shortcuts for plain decimals and whole cents answer exactly as the full reading and writing.
void checkShortcuts(const QString& text, const NumberFormats& formats)
{
    const double lenient = readLenient(text);
    const double lenientFully = readLenientFully(text);
    requireThat(sameDouble(lenient, lenientFully), "readLenient gleich mit und ohne Abkürzung",
        text + QStringLiteral(": ") + shown(lenient) + QStringLiteral(" / ") + shown(lenientFully));
    for (const QLocale* numberFormat : { &formats.german, &formats.c, &formats.swedish }) {
        const std::optional<double> strict = readStrict(text, *numberFormat);
        const std::optional<double> strictFully = readStrictFully(text, *numberFormat);
        requireThat(sameReading(strict, strictFully), "readStrict gleich mit und ohne Abkürzung",
            numberFormat->name() + QStringLiteral(" ") + text + QStringLiteral(": ") + shown(strict)
                + QStringLiteral(" / ") + shown(strictFully));
    }
}

void checkWrittenShortcut(double value, const QLocale& numberFormat)
{
    requireThat(numberToText(value, numberFormat) == numberToTextFully(value, numberFormat),
        "numberToText gleich mit und ohne Abkürzung", shown(value));
}

// What is written for a finite number reads back, strictly in its own format and leniently where
// the separator is the point, as that number rounded to 15 significant digits.
void checkWritten(double value, const QLocale& numberFormat)
{
    checkWrittenShortcut(value, numberFormat);
    const QString text = numberToText(value, numberFormat);
    if (!std::isfinite(value)) {
        requireThat(text.isEmpty(), "NaN und Unendlich ergeben den leeren Text", text);
        return;
    }
    requireThat(!text.isEmpty() && text.size() <= 22, "eine endliche Zahl ergibt einen kurzen Text",
        shown(value) + QStringLiteral(" -> ") + text);
    requireThat(!text.contains(numberFormat.groupSeparator()), "keine Tausendertrennung", text);
    const std::optional<double> expected = roundedTo15Digits(value);
    if (!expected)
        return;
    const std::optional<double> strict = readStrict(text, numberFormat);
    requireThat(strict && *strict == *expected, "readStrict(numberToText(x)) ergibt x auf 15 Stellen",
        shown(value) + QStringLiteral(" -> ") + text + QStringLiteral(" -> ")
            + (strict ? shown(*strict) : QStringLiteral("nichts")));
    if (numberFormat.decimalPoint() == QLatin1String("."))
        requireThat(readLenient(text) == *expected, "readLenient(numberToText(x)) ergibt x auf 15 Stellen",
            shown(value) + QStringLiteral(" -> ") + text + QStringLiteral(" -> ") + shown(readLenient(text)));
}

// A whole number of 16 bits, rounded half to even, or nothing when the value has none.
void checkRounded(double value)
{
    const std::optional<qint16> rounded = toInt16HalfEven(value);
    if (!rounded) {
        requireThat(!std::isfinite(value) || value >= 32767.5 || value < -32768.5,
            "toInt16HalfEven rundet jeden Wert im Bereich", shown(value));
        return;
    }
    const double distance = std::fabs(double(*rounded) - value);
    requireThat(distance < 0.5 || (distance == 0.5 && *rounded % 2 == 0),
        "toInt16HalfEven rundet zur nächsten, bei der Hälfte zur geraden Zahl",
        shown(value) + QStringLiteral(" -> ") + QString::number(*rounded));
}

// An amount means the same on a German and on a C system: each reads the other's separator as
// its own when the text has no other, and a text with both is nobody's amount.
void checkAmount(const QString& text, const NumberFormats& formats)
{
    const std::optional<double> german = readAmount(QVariant(text), formats.german);
    const std::optional<double> c = readAmount(QVariant(text), formats.c);
    requireThat(german.has_value() == c.has_value() && (!german || sameDouble(*german, *c)),
        "ein Betrag gilt deutsch und in C gleich",
        text + QStringLiteral(": ") + (german ? shown(*german) : QStringLiteral("nichts"))
            + QStringLiteral(" / ") + (c ? shown(*c) : QStringLiteral("nichts")));
    if (german) {
        requireThat(std::isfinite(*german), "readAmount ergibt eine endliche Zahl oder nichts", text);
        checkRounded(*german);
    }
}

// Every reading of any text is a finite number or nothing, and the readings agree where their
// rules overlap: a text the C format reads strictly reads the same leniently, and a German text
// reads the same in the C format once its comma is a point.
void checkReadings(const QString& text, const NumberFormats& formats)
{
    checkShortcuts(text, formats);
    const double lenient = readLenient(text);
    requireThat(std::isfinite(lenient), "readLenient ergibt immer eine endliche Zahl", text);
    checkRounded(lenient);
    checkAmount(text, formats);

    const std::optional<double> strictC = readStrict(text, formats.c);
    if (strictC) {
        requireThat(std::isfinite(*strictC), "readStrict ergibt eine endliche Zahl oder nichts", text);
        requireThat(sameDouble(lenient, *strictC), "was C streng liest, liest readLenient gleich",
            text + QStringLiteral(": ") + shown(*strictC) + QStringLiteral(" / ") + shown(lenient));
        checkWritten(*strictC, formats.c);
    }
    const std::optional<double> strictGerman = readStrict(text, formats.german);
    if (strictGerman) {
        requireThat(std::isfinite(*strictGerman), "readStrict ergibt eine endliche Zahl oder nichts", text);
        const std::optional<double> withPoint = readStrict(QString(text).replace(u',', u'.'), formats.c);
        requireThat(withPoint && sameDouble(*withPoint, *strictGerman),
            "deutscher Text liest sich mit Punkt in C gleich", text);
        checkWritten(*strictGerman, formats.german);
    }
}

// Whole cents and their neighbours: where the writing's shortcut is taken and where it must not be.
void checkCents(const std::uint8_t* data, const NumberFormats& formats)
{
    std::int64_t whole = 0;
    std::memcpy(&whole, data, sizeof whole);
    std::int64_t modulus = 10;
    for (int digits = data[0] % 17; digits > 0; --digits)
        modulus *= 10;
    const double cents = double(whole % modulus) / 100.0;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    for (const double value : { cents, std::nextafter(cents, infinity), std::nextafter(cents, -infinity) }) {
        checkWrittenShortcut(value, formats.german);
        checkWrittenShortcut(value, formats.c);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libFuzzer's entry point has no context to carry them, and a locale is costly to build.
    static const NumberFormats formats;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    // The same bytes as typed text and as UTF-16, which also reaches lone surrogates.
    checkReadings(QString::fromUtf8(bytes), formats);
    QString utf16(bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(utf16.data(), bytes.constData(), std::size_t(utf16.size()) * sizeof(QChar));
    checkReadings(utf16, formats);

    if (size >= sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data, sizeof value);
        checkWritten(value, formats.german);
        checkWritten(value, formats.c);
        checkRounded(value);
        checkCents(data, formats);
    }
    return 0;
}

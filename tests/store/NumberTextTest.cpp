#include "store/NumberText.h"

#include <QRandomGenerator>
#include <QtTest>

#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>

using tavik::store::numberToText;
using tavik::store::numberToTextFully;
using tavik::store::readLenient;
using tavik::store::readLenientFully;
using tavik::store::readStrict;
using tavik::store::readStrictFully;
using tavik::store::wholeNumberToText;

namespace {

const QLocale german(QLocale::German, QLocale::Germany);
const QLocale swedish(QLocale::Swedish, QLocale::Sweden);

// QCOMPARE compares doubles fuzzily; a reading must hit the exact double.
QString mismatch(double actual, double expected)
{
    return QStringLiteral("read %1, expected %2").arg(actual, 0, 'g', 17).arg(expected, 0, 'g', 17);
}

// One row per locale: the German text as given, the C text with the point as separator.
void addGermanAndC(const char* name, double value, const QString& germanText)
{
    QTest::addRow("de: %s", name) << value << german << germanText;
    QTest::addRow("C: %s", name) << value << QLocale::c() << QString(germanText).replace(u',', u'.');
}

QString shown(const std::optional<double>& reading)
{
    return reading ? QString::number(*reading, 'g', 17) : QStringLiteral("nothing");
}

// Same value and same sign, or both nothing: -0 must stay apart from 0.
bool sameReading(const std::optional<double>& a, const std::optional<double>& b)
{
    return a.has_value() == b.has_value() && (!a || (*a == *b && std::signbit(*a) == std::signbit(*b)));
}

// Texts around the plain decimals the readings shortcut: digits of every count up to two beyond
// the shortcut's limit, separators of either kind and the locales' grouping anywhere, signs,
// blanks, exponents and trailing letters.
class NumberTextMaker {
public:
    explicit NumberTextMaker(quint32 seed)
        : random_(seed)
    {
    }

    QString next()
    {
        QString digits = this->digits();
        for (int count = pick({ 0, 1, 1, 1, 2 }); count > 0; --count)
            digits.insert(random_.bounded(int(digits.size()) + 1), pickText({ u".", u",", u"\u00A0", u"'" }));
        return rarely({ u" ", u"\t", u"\r\n", u"\u00A0" })
            + rarely({ u"-", u"-", u"+", u"\u2212", u"--", u"+-", u"- " }) + digits
            + rarely({ u"E5", u"e-2", u"D2", u"E", u"x", u" 1", u" %" })
            + rarely({ u" ", u"\t", u"\n", u"\u00A0" });
    }

private:
    QString digits()
    {
        QString digits;
        const int count = random_.bounded(0, 18);
        const bool leadingZeros = random_.bounded(4) == 0;
        for (int i = 0; i < count; ++i)
            digits += QChar(u'0' + (leadingZeros && i < count / 2 ? 0 : random_.bounded(10)));
        return digits;
    }

    int pick(std::initializer_list<int> choices)
    {
        return choices.begin()[random_.bounded(int(choices.size()))];
    }

    QString pickText(std::initializer_list<QStringView> choices)
    {
        return choices.begin()[random_.bounded(int(choices.size()))].toString();
    }

    // Each of the choices in one text of four, so that most texts stay plain.
    QString rarely(std::initializer_list<QStringView> choices)
    {
        return random_.bounded(4) == 0 ? pickText(choices) : QString();
    }

    QRandomGenerator random_;
};

} // namespace

class NumberTextTest : public QObject {
    Q_OBJECT

private slots:
    void writesNumbers_data();
    void writesNumbers();
    void readsLeniently_data();
    void readsLeniently();
    void readsStrictly_data();
    void readsStrictly();
    void readsBackWhatItWrote_data();
    void readsBackWhatItWrote();
    void writesWholeNumbersAsQtDoes();
    void shortcutReadsAsTheFullReading_data();
    void shortcutReadsAsTheFullReading();
    void shortcutWritesAsTheFullWriting();
};

void NumberTextTest::writesNumbers_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QLocale>("numberFormat");
    QTest::addColumn<QString>("expected");

    constexpr double infinity = std::numeric_limits<double>::infinity();
    addGermanAndC("zero is 0", 0.0, "0");
    addGermanAndC("negative zero is 0", -0.0, "0");
    addGermanAndC("89.00 loses its trailing zeros", 89.0, "89");
    addGermanAndC("12.5 keeps one decimal", 12.5, "12,5");
    addGermanAndC("negative amount", -89.5, "-89,5");
    addGermanAndC("no grouping", 1234567.5, "1234567,5");
    addGermanAndC("0.1 + 0.2 is 0.3", 0.1 + 0.2, "0,3");
    addGermanAndC("1/3 keeps 15 digits", 1.0 / 3.0, "0,333333333333333");
    addGermanAndC("2/3 rounds up at the 15th digit", 2.0 / 3.0, "0,666666666666667");
    addGermanAndC("1234567890.12345678 rounds at the 15th digit", 1234567890.12345678, "1234567890,12346");
    addGermanAndC("rounding carries into a new digit", 99999.99999999999, "100000");
    addGermanAndC("15 nines stay positional", 999999999999999.0, "999999999999999");
    addGermanAndC("1E+15 uses the exponent", 1e15, "1E+15");
    addGermanAndC("rounding up to 1E+15 uses the exponent", 999999999999999.9, "1E+15");
    addGermanAndC("-1.5E+16 keeps the sign", -1.5e16, "-1,5E+16");
    addGermanAndC("0.0001 stays positional", 1e-4, "0,0001");
    addGermanAndC("0.00012345 stays positional", 0.00012345, "0,00012345");
    addGermanAndC("just below 0.0001 uses the exponent", 9.99999999999999e-5, "9,99999999999999E-05");
    addGermanAndC("rounding up to 0.0001 stays positional", 9.999999999999999e-5, "0,0001");
    addGermanAndC("1.5E-07 has two exponent digits", 1.5e-7, "1,5E-07");
    addGermanAndC("-1.5E-07 keeps the sign", -1.5e-7, "-1,5E-07");
    addGermanAndC("1E+100 has three exponent digits", 1e100, "1E+100");
    addGermanAndC("largest double", std::numeric_limits<double>::max(), "1,79769313486232E+308");
    addGermanAndC("smallest subnormal", std::numeric_limits<double>::denorm_min(), "4,94065645841247E-324");
    addGermanAndC("NaN is empty", std::numeric_limits<double>::quiet_NaN(), "");
    addGermanAndC("infinity is empty", infinity, "");
    addGermanAndC("minus infinity is empty", -infinity, "");
}

void NumberTextTest::writesNumbers()
{
    QFETCH(double, value);
    QFETCH(QLocale, numberFormat);
    QFETCH(QString, expected);
    QCOMPARE(numberToText(value, numberFormat), expected);
}

void NumberTextTest::readsLeniently_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty reads 0") << "" << 0.0;
    QTest::newRow("letters read 0") << "abc" << 0.0;
    QTest::newRow("nights 2.5 reads 2.5") << "2.5" << 2.5;
    QTest::newRow("comma stops: 2,5 reads 2") << "2,5" << 2.0;
    QTest::newRow("German grouping point is a decimal point") << "1.234,5" << 1.234;
    QTest::newRow(".5 reads 0.5") << ".5" << 0.5;
    QTest::newRow("3 Nächte reads 3") << "3 Nächte" << 3.0;
    QTest::newRow("blanks between digits: ' 1 2' reads 12") << " 1 2" << 12.0;
    QTest::newRow("tabs and line breaks are skipped") << "\t1\r\n5 " << 15.0;
    QTest::newRow("blank after the sign") << "- 5" << -5.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("two signs read 0") << "+-1" << 0.0;
    QTest::newRow("sign alone reads 0") << "-" << 0.0;
    QTest::newRow("point alone reads 0") << "." << 0.0;
    QTest::newRow("minus after digits stops") << "5-3" << 5.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("non-breaking space stops") << QStringLiteral("1\u00A02") << 1.0;
    QTest::newRow("Arabic-Indic digit is no digit") << QStringLiteral("\u0661") << 0.0;
    QTest::newRow("exponent E") << "1.5E3" << 1500.0;
    QTest::newRow("exponent D") << "2D2" << 200.0;
    QTest::newRow("lower-case e with negative exponent") << "25e-1" << 2.5;
    QTest::newRow("blanks inside the exponent") << "1 E - 2" << 0.01;
    QTest::newRow("exponent mark without digits is ignored") << "4E" << 4.0;
    QTest::newRow("exponent sign without digits is ignored") << "4E+x" << 4.0;
    QTest::newRow("2 E-Bikes reads 2") << "2 E-Bikes" << 2.0;
    QTest::newRow("beyond the double range reads 0") << "1E400" << 0.0;
    QTest::newRow("far beyond the double range reads 0") << "-1E99999999999999999999" << 0.0;
    QTest::newRow("too small for a double reads 0") << "1E-400" << 0.0;
    QTest::newRow("zero with a huge exponent reads 0") << "0E999999" << 0.0;
    QTest::newRow("largest double") << "1.7976931348623157E308" << std::numeric_limits<double>::max();
    QTest::newRow("many digits round once") << "0.1000000000000000055511151231257827" << 0.1;
    QTest::newRow("leading zeros") << "000000000000000000000012.5" << 12.5;
}

void NumberTextTest::readsLeniently()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double actual = readLenient(text);
    QVERIFY2(actual == expected, qPrintable(mismatch(actual, expected)));
}

void NumberTextTest::readsStrictly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QLocale>("numberFormat");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("expected");

    const QLocale c = QLocale::c();
    QTest::newRow("19 is a German rate") << "19" << german << true << 19.0;
    QTest::newRow("19 is a C rate") << "19" << c << true << 19.0;
    QTest::newRow("7,5 is a German rate") << "7,5" << german << true << 7.5;
    QTest::newRow("7,5 is no C rate") << "7,5" << c << false << 0.0;
    QTest::newRow("7.5 is a C rate") << "7.5" << c << true << 7.5;
    QTest::newRow("7.00 is no German rate") << "7.00" << german << false << 0.0;
    QTest::newRow("German grouping is refused") << "1.234,5" << german << false << 0.0;
    QTest::newRow("C grouping is refused") << "1,234.5" << c << false << 0.0;
    QTest::newRow("Swedish grouping blank is refused")
        << QStringLiteral("1\u00A0000") << swedish << false << 0.0;
    QTest::newRow("19 % is refused") << "19 %" << german << false << 0.0;
    QTest::newRow("trailing letter is refused") << "7,5x" << german << false << 0.0;
    QTest::newRow("empty is refused") << "" << german << false << 0.0;
    QTest::newRow("blank is refused") << " " << c << false << 0.0;
    QTest::newRow("blanks around are allowed") << " \t7,5 \r\n" << german << true << 7.5;
    QTest::newRow("blank inside is refused") << "1 9" << c << false << 0.0;
    QTest::newRow("blank after the sign is refused") << "- 5" << c << false << 0.0;
    QTest::newRow("-0 reads zero") << "-0" << german << true << -0.0;
    QTest::newRow("negative German number") << "-7,5" << german << true << -7.5;
    QTest::newRow("plus sign") << "+7" << c << true << 7.0;
    QTest::newRow("Swedish minus sign") << QStringLiteral("\u22127,5") << swedish << true << -7.5;
    QTest::newRow("sign alone is refused") << "-" << c << false << 0.0;
    QTest::newRow("two signs are refused") << "--1" << c << false << 0.0;
    QTest::newRow("separator alone is refused") << "," << german << false << 0.0;
    QTest::newRow("nothing before the separator") << ",5" << german << true << 0.5;
    QTest::newRow("nothing after the separator") << "5." << c << true << 5.0;
    QTest::newRow("two separators are refused") << "1,2,3" << german << false << 0.0;
    QTest::newRow("15 digits read exactly") << "1234567890,12346" << german << true << 1234567890.12346;
    QTest::newRow("many digits round once") << "0.1000000000000000055511151231257827" << c << true << 0.1;
    QTest::newRow("exponent with sign") << "1,5E-07" << german << true << 1.5e-7;
    QTest::newRow("lower-case exponent") << "1e3" << c << true << 1000.0;
    QTest::newRow("exponent after the separator") << "5.e2" << c << true << 500.0;
    QTest::newRow("exponent without digits is refused") << "1E" << c << false << 0.0;
    QTest::newRow("exponent sign without digits is refused") << "1E+" << c << false << 0.0;
    QTest::newRow("exponent alone is refused") << "E5" << c << false << 0.0;
    QTest::newRow("D exponent is refused") << "1D2" << c << false << 0.0;
    QTest::newRow("largest double") << "1,7976931348623157E+308" << german << true
                                    << std::numeric_limits<double>::max();
    QTest::newRow("overflow is refused") << "1E309" << c << false << 0.0;
    QTest::newRow("rounded largest double overflows") << "1,79769313486232E+308" << german << false << 0.0;
    QTest::newRow("huge exponent is refused") << "1E99999999999999999999" << c << false << 0.0;
    QTest::newRow("too small for a double reads 0") << "1E-400" << c << true << 0.0;
    QTest::newRow("smallest subnormal")
        << "4,94065645841247E-324" << german << true << std::numeric_limits<double>::denorm_min();
}

void NumberTextTest::readsStrictly()
{
    QFETCH(QString, text);
    QFETCH(QLocale, numberFormat);
    QFETCH(bool, accepted);
    QFETCH(double, expected);
    const std::optional<double> actual = readStrict(text, numberFormat);
    QCOMPARE(actual.has_value(), accepted);
    if (accepted)
        QVERIFY2(*actual == expected, qPrintable(mismatch(*actual, expected)));
}

void NumberTextTest::readsBackWhatItWrote_data()
{
    QTest::addColumn<QLocale>("numberFormat");
    QTest::newRow("German") << german;
    QTest::newRow("C") << QLocale::c();
}

// Every double that stands for a number of at most 15 significant digits must survive being
// written and read again; such numbers are built as text so that they are the nearest doubles.
void NumberTextTest::readsBackWhatItWrote()
{
    QFETCH(QLocale, numberFormat);
    QRandomGenerator random(20240611);
    for (int round = 0; round < 20000; ++round) {
        const int digitCount = random.bounded(1, 16);
        QByteArray digits = QByteArray::number(random.bounded(1, 10));
        while (digits.size() < digitCount)
            digits += QByteArray::number(random.bounded(10));
        const int power = round < 10000 ? random.bounded(-8, 18) : random.bounded(-300, 290);
        const QByteArray sign = random.bounded(2) ? "-" : "";
        const double value = (sign + digits + 'e' + QByteArray::number(power)).toDouble();

        const QString text = numberToText(value, numberFormat);
        const std::optional<double> readBack = readStrict(text, numberFormat);
        QVERIFY2(readBack.has_value(), qPrintable(text));
        QVERIFY2(*readBack == value, qPrintable(text + QStringLiteral(": ") + mismatch(*readBack, value)));
    }
}

void NumberTextTest::writesWholeNumbersAsQtDoes()
{
    for (const qint64 value : { qint64(0), qint64(7), qint64(-12), qint64(1234567890123),
             std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min() })
        QCOMPARE(wholeNumberToText(value), QString::number(value));
}

void NumberTextTest::shortcutReadsAsTheFullReading_data()
{
    QTest::addColumn<QLocale>("numberFormat");
    QTest::newRow("German") << german;
    QTest::newRow("C") << QLocale::c();
    QTest::newRow("Swedish, with a minus sign of its own") << swedish;
}

void NumberTextTest::shortcutReadsAsTheFullReading()
{
    QFETCH(QLocale, numberFormat);
    QStringList texts = { "", " ", ".", ",", "-", "+", "-.", "+,", "0", "-0", "+0", "-0,0", "-0.0", "0.",
        ",0", "000000000000000", "0000000000000000", "999999999999999", "-999999999999999",
        "9999999999999999", "9007199254740993", "0,000000000000001", "123456789012345,", ",123456789012345",
        " \t7,5\r\n", QStringLiteral("\u22127,5"), QStringLiteral("7\u00A0500"), "1.234,5", "1,234.5" };
    NumberTextMaker maker(20250112);
    while (texts.size() < 200000)
        texts += maker.next();

    int accepted = 0;
    for (const QString& text : std::as_const(texts)) {
        const std::optional<double> strict = readStrict(text, numberFormat);
        const std::optional<double> strictFully = readStrictFully(text, numberFormat);
        QVERIFY2(sameReading(strict, strictFully),
            qPrintable(
                QStringLiteral("strict '%1': %2, fully %3").arg(text, shown(strict), shown(strictFully))));
        const double lenient = readLenient(text);
        const double lenientFully = readLenientFully(text);
        QVERIFY2(sameReading(lenient, lenientFully),
            qPrintable(
                QStringLiteral("lenient '%1': %2, fully %3").arg(text, shown(lenient), shown(lenientFully))));
        accepted += strict.has_value();
    }
    // The comparison proves little unless many texts are numbers, most of them plain.
    QVERIFY2(accepted > texts.size() / 5, qPrintable(QString::number(accepted)));
}

// Whole cents of every length up to beyond the shortcut's limit, their neighbouring doubles, and
// values with a third decimal, which the shortcut must leave to the full writing. The ASCII
// writing of totals gives the same text wherever it writes at all.
void NumberTextTest::shortcutWritesAsTheFullWriting()
{
    const auto plainText = [](double value, const QLocale& numberFormat) {
        std::array<char, 24> room {};
        const int size
            = tavik::store::plainNumberText(value, tavik::store::asciiDecimalPoint(numberFormat), room.data());
        return size < 0 ? QString() : QString::fromLatin1(room.data(), size);
    };
    QCOMPARE(plainText(0.0, german), QStringLiteral("0"));
    QCOMPARE(plainText(-0.0, german), QStringLiteral("0"));
    QVERIFY(plainText(std::numeric_limits<double>::quiet_NaN(), german).isNull());
    QVERIFY(plainText(1e300, german).isNull());
    int written = 0;
    QRandomGenerator random(20250113);
    for (int round = 0; round < 100000; ++round) {
        const int digitCount = random.bounded(1, 18);
        qint64 whole = 0;
        for (int i = 0; i < digitCount; ++i)
            whole = whole * 10 + random.bounded(10);
        const double scaled
            = (random.bounded(2) ? -1.0 : 1.0) * double(whole) / (round % 4 == 0 ? 1000.0 : 100.0);
        for (const double value : { scaled, std::nextafter(scaled, 1e300), std::nextafter(scaled, -1e300) }) {
            for (const QLocale& numberFormat : { german, QLocale::c() }) {
                const QString text = numberToText(value, numberFormat);
                QCOMPARE(text, numberToTextFully(value, numberFormat));
                if (const QString plain = plainText(value, numberFormat); !plain.isNull()) {
                    QCOMPARE(plain, text);
                    ++written;
                }
            }
        }
    }
    QVERIFY2(written > 100000, qPrintable(QString::number(written)));
}

QTEST_GUILESS_MAIN(NumberTextTest)
#include "NumberTextTest.moc"

#include "store/VisibleText.h"

namespace tavik::store {

namespace {

// Besides the control characters: what a terminal may take as a line break or as an order to
// show the text after it backwards.
bool isHidden(char16_t c)
{
    if (c >= 0x20 && c < 0x7f)
        return false; // printable ASCII, nearly every character of a log, decided in one test
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(char16_t c)
{
    switch (c) {
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    case u'\t':
        return QStringLiteral("\\t");
    default:
        return c <= 0xff ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                         : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
}

void appendEscaped(std::string& out, char16_t c)
{
    constexpr char hex[] = "0123456789abcdef";
    switch (c) {
    case u'\n':
        out += "\\n";
        return;
    case u'\r':
        out += "\\r";
        return;
    case u'\t':
        out += "\\t";
        return;
    default:
        break;
    }
    out += c <= 0xff ? "\\x" : "\\u";
    for (int shift = c <= 0xff ? 4 : 12; shift >= 0; shift -= 4)
        out += hex[(c >> shift) & 0xf];
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x800) {
        out += char(0xc0 | (code >> 6));
    } else if (code < 0x10000) {
        out += char(0xe0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3f));
    } else {
        out += char(0xf0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3f));
        out += char(0x80 | ((code >> 6) & 0x3f));
    }
    out += char(0x80 | (code & 0x3f));
}

} // namespace

void appendVisibleUtf8(std::string& out, QStringView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        // Copied as a run into room made once: nearly all of a log line is plain ASCII.
        const qsizetype start = i;
        while (i < text.size() && text[i].unicode() >= 0x20 && text[i].unicode() < 0x7f)
            ++i;
        if (i > start) {
            const std::size_t at = out.size();
            out.resize(at + std::size_t(i - start));
            for (qsizetype k = start; k < i; ++k)
                out[at + std::size_t(k - start)] = char(text[k].unicode());
            continue;
        }
        const char16_t c = text[i++].unicode();
        if (isHidden(c))
            appendEscaped(out, c);
        else if (QChar::isHighSurrogate(c) && i < text.size() && QChar::isLowSurrogate(text[i].unicode()))
            appendUtf8(out, QChar::surrogateToUcs4(c, text[i++].unicode()));
        else if (QChar::isSurrogate(c))
            out += '?';
        else
            appendUtf8(out, c);
    }
}

QString visibleText(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && !isHidden(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text;
    QString shown = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isHidden(c))
            shown += escaped(c);
        else
            shown += text[i];
    }
    return shown;
}

} // namespace tavik::store

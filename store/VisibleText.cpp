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

} // namespace

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

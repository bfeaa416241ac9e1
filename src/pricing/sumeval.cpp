#include "sumeval.h"

#include <cmath>

namespace {

bool evalPlain(const QString &text, double *value);

// Operators of one precedence level; the split is at the last one so that
// 10-2-3 and 8/2/2 group from the left, as a person reads them.
bool splitAt(const QString &text, const QString &ops, double *value, bool *found)
{
    int at = -1;
    for (int i = text.size() - 1; i > 0; --i) {
        if (ops.contains(text.at(i))) {
            at = i;
            break;
        }
    }
    if (text.size() > 0 && at < 0 && ops.contains(text.at(0)))
        at = 0;   // a leading operator leaves an empty left operand
    *found = at >= 0;
    if (!*found)
        return false;
    double left = 0, right = 0;
    if (!evalPlain(text.left(at), &left) || !evalPlain(text.mid(at + 1), &right))
        return false;
    switch (text.at(at).toLatin1()) {
    case '+': *value = left + right; break;
    case '-': *value = left - right; break;
    case '*':
    case 'x': *value = left * right; break;
    case '/':
        if (right == 0)
            return false;
        *value = left / right;
        break;
    }
    return std::isfinite(*value);
}

bool readNumber(const QString &text, double *value)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.at(0);
    if (!first.isDigit() && !(first == QLatin1Char('.') && text.size() > 1 && text.at(1).isDigit()))
        return false;
    // The longest decimal prefix, read in the C locale whatever the user's
    // locale says (the C library's strtod would follow it).
    int end = 0;
    while (end < text.size() && text.at(end).isDigit())
        ++end;
    if (end < text.size() && text.at(end) == QLatin1Char('.')) {
        ++end;
        while (end < text.size() && text.at(end).isDigit())
            ++end;
    }
    bool ok = false;
    *value = text.left(end).toDouble(&ok);
    return ok && std::isfinite(*value);
}

bool evalPlain(const QString &text, double *value)
{
    bool found = false;
    const bool ok = splitAt(text, QStringLiteral("+-"), value, &found);
    if (found)
        return ok;
    const bool okMul = splitAt(text, QStringLiteral("*x/"), value, &found);
    if (found)
        return okMul;
    return readNumber(text, value);
}

} // namespace

bool evaluateSum(const QString &input, double *value)
{
    QString text;
    for (const QChar c : input)
        if (!c.isSpace())
            text.append(c);

    // innermost brackets first, each replaced by its value
    for (;;) {
        const int open = text.lastIndexOf(QLatin1Char('('));
        if (open < 0)
            break;
        const int close = text.indexOf(QLatin1Char(')'), open);
        if (close < 0)
            return false;
        double inner = 0;
        if (!evalPlain(text.mid(open + 1, close - open - 1), &inner) || inner < 0)
            return false;
        text.replace(open, close - open + 1, QString::number(inner, 'f', 10));
    }
    if (text.contains(QLatin1Char(')')))
        return false;
    double result = 0;
    if (!evalPlain(text, &result))
        return false;
    *value = result;
    return true;
}

QString evalSumText(const QString &text)
{
    double v = 0;
    if (!evaluateSum(text, &v))
        return text;
    return QString::number(v, 'f', 2);
}

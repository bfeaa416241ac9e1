// The typed-sum evaluator, checked against the plain recursive reading it
// replaced (kept here as the reference) on texts short enough for that one.
#include "fuzzsupport.h"

#include "pricing/sumeval.h"

#include <cmath>
#include <cstring>

namespace {

bool refPlain(const QString &text, double *value);

bool refSplitAt(const QString &text, const QString &ops, double *value, bool *found)
{
    int at = -1;
    for (int i = text.size() - 1; i > 0; --i) {
        if (ops.contains(text.at(i))) {
            at = i;
            break;
        }
    }
    if (text.size() > 0 && at < 0 && ops.contains(text.at(0)))
        at = 0;
    *found = at >= 0;
    if (!*found)
        return false;
    double left = 0, right = 0;
    if (!refPlain(text.left(at), &left) || !refPlain(text.mid(at + 1), &right))
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

bool refNumber(const QString &text, double *value)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.at(0);
    if (!first.isDigit() && !(first == QLatin1Char('.') && text.size() > 1 && text.at(1).isDigit()))
        return false;
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

bool refPlain(const QString &text, double *value)
{
    bool found = false;
    const bool ok = refSplitAt(text, QStringLiteral("+-"), value, &found);
    if (found)
        return ok;
    const bool okMul = refSplitAt(text, QStringLiteral("*x/"), value, &found);
    if (found)
        return okMul;
    return refNumber(text, value);
}

bool reference(const QString &input, double *value)
{
    QString text;
    for (const QChar c : input)
        if (!c.isSpace())
            text.append(c);
    for (;;) {
        const int open = text.lastIndexOf(QLatin1Char('('));
        if (open < 0)
            break;
        const int close = text.indexOf(QLatin1Char(')'), open);
        if (close < 0)
            return false;
        double inner = 0;
        if (!refPlain(text.mid(open + 1, close - open - 1), &inner) || inner < 0)
            return false;
        text.replace(open, close - open + 1, QString::number(inner, 'f', 10));
    }
    if (text.contains(QLatin1Char(')')))
        return false;
    double result = 0;
    if (!refPlain(text, &result))
        return false;
    *value = result;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    double value = 0;
    const bool ok = evaluateSum(text, &value);
    if (ok && !std::isfinite(value))
        Fuzz::fail("sum not finite", Fuzz::bytes(data, size));
    if (evalSumText(text) != (ok ? QString::number(value, 'f', 2) : text))
        Fuzz::fail("sum text disagrees", Fuzz::bytes(data, size));
    // the reference recurses once per operator: only short texts, few brackets
    if (text.size() <= 200 && text.count(QLatin1Char('(')) <= 20) {
        double expected = 0;
        const bool refOk = reference(text, &expected);
        if (refOk != ok || (ok && std::memcmp(&expected, &value, sizeof value) != 0))
            Fuzz::fail("differs from the reference reading", Fuzz::bytes(data, size));
    }
    return 0;
}

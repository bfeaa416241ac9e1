#include "sumeval.h"

#include <cmath>
#include <vector>

namespace {

// A typed price is a few dozen characters; anything near these bounds is not
// a sum someone typed, and is refused before any work is done.
constexpr int kMaxSumLength = 4096;
constexpr int kMaxBracketDepth = 64;

// Operands are read as far as a decimal number goes.
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

bool apply(char op, double left, double right, double *value)
{
    switch (op) {
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

// One bracket level (or the whole text): terms and factors are folded from
// the left as they end, so 10-2-3 and 8/2/2 group as a person reads them.
struct Level
{
    QString operand;       // text of the operand being read
    double sum = 0;
    char sumOp = 0;        // 0 before the first term
    double product = 0;
    char productOp = 0;    // 0 before the first factor of the term

    bool endFactor(char next)
    {
        double factor = 0;
        if (!readNumber(operand, &factor))
            return false;
        operand.clear();
        if (productOp && !apply(productOp, product, factor, &product))
            return false;
        if (!productOp)
            product = factor;
        productOp = next;
        return true;
    }
    bool endTerm(char next)
    {
        if (!endFactor(0))
            return false;
        if (sumOp && !apply(sumOp, sum, product, &sum))
            return false;
        if (!sumOp)
            sum = product;
        sumOp = next;
        productOp = 0;
        return true;
    }
};

} // namespace

bool evaluateSum(const QString &input, double *value)
{
    if (input.size() > kMaxSumLength)
        return false;
    // Each level is kept on the heap, so nesting costs no stack and every
    // character is looked at once.
    std::vector<Level> levels(1);
    for (const QChar c : input) {
        if (c.isSpace())
            continue;
        Level &level = levels.back();
        switch (c.unicode()) {
        case '(':
            if (int(levels.size()) > kMaxBracketDepth)
                return false;
            // The bracket's value joins the operand text it stands in.
            levels.emplace_back();
            break;
        case ')': {
            if (levels.size() == 1 || !level.endTerm(0) || level.sum < 0)
                return false;
            // Carried on as its 10-decimal text, as a bracket typed out by hand.
            const QString inner = QString::number(level.sum, 'f', 10);
            levels.pop_back();
            levels.back().operand.append(inner);
            break;
        }
        case '+':
        case '-':
            if (!level.endTerm(char(c.unicode())))
                return false;
            break;
        case '*':
        case 'x':
        case '/':
            if (!level.endFactor(char(c.unicode())))
                return false;
            break;
        default:
            level.operand.append(c);
        }
    }
    if (levels.size() != 1 || !levels.back().endTerm(0))
        return false;
    *value = levels.back().sum;
    return true;
}

QString evalSumText(const QString &text)
{
    double v = 0;
    if (!evaluateSum(text, &v))
        return text;
    return QString::number(v, 'f', 2);
}

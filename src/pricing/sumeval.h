#pragma once

#include <QString>

// A typed price may be a small sum ("100+25.5", "(2+3)*4", "3x250"). Blanks
// are ignored; brackets first, then + and -, then *, x and /. Operands are
// read as far as a decimal number goes ("12,5" reads 12). Returns false when
// the text is not a sum (letters, an empty operand, a division by zero).
bool evaluateSum(const QString &text, double *value);

// The sum with 2 decimals, or the text unchanged when it is not a sum.
QString evalSumText(const QString &text);

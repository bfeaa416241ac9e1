#include "orders/inches.h"

QString inchesText(int mm)
{
    // No length is negative; the bound also keeps the arithmetic in range.
    if (mm <= 0 || mm > 9999)
        return QString();
    const int eighths = int(mm * 8 / 25.4 + 0.5);
    const int whole = eighths / 8;
    const int rest = eighths % 8;
    if (rest == 0)
        return QString::number(whole);
    QString fraction;
    switch (rest) {
    case 2: fraction = QStringLiteral("1/4"); break;
    case 4: fraction = QStringLiteral("1/2"); break;
    case 6: fraction = QStringLiteral("3/4"); break;
    default: fraction = QStringLiteral("%1/8").arg(rest); break;
    }
    return QStringLiteral("%1 %2").arg(whole).arg(fraction);
}

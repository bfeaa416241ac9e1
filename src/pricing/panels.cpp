#include "panels.h"

#include <QMap>
#include <QRegularExpression>
#include <cmath>

namespace {

int intValue(const QVariantMap &map, const QString &key)
{
    return map.value(key).toString().trimmed().toInt();
}

int roundHalfAway(double v)
{
    return int(std::round(v));   // std::round rounds halves away from zero
}

// Fold style of the panel at position j of a section: three or more panels
// hinged the same way fold as a multi fold, two as a bi fold.
int styleAt(const QString &section, int j)
{
    if (section.size() < 2)
        return SingleHung;
    static const QRegularExpression three(QStringLiteral("LLL|RRR"));
    static const QRegularExpression two(QStringLiteral("LL|RR"));
    const auto m3 = three.match(section, qMax(j - 2, 0));
    if (m3.hasMatch() && m3.capturedStart() <= j && j <= m3.capturedStart() + 2)
        return MultiFold;
    const auto m2 = two.match(section, qMax(j - 1, 0));
    if (m2.hasMatch() && m2.capturedStart() <= j && j <= m2.capturedStart() + 1)
        return BiFold;
    return SingleHung;
}

void checkMarks(const QString &pc, QChar mark, const QString &key, const QString &tooMany,
                const QString &missing, const QVariantMap &dataMap, QStringList &warnings)
{
    const int n = pc.count(mark);
    if (n == 0)
        return;
    if (n > 5)
        warnings << tooMany;
    for (int i = 1; i <= qMin(n, 5); ++i)
        if (intValue(dataMap, key.arg(i)) == 0)
            warnings << missing + QString::number(i);
}

} // namespace

QString panelStyleName(int style)
{
    switch (style) {
    case BiFold: return QStringLiteral("Bi Fold");
    case MultiFold: return QStringLiteral("Multi Fold");
    default: return QStringLiteral("Single Hung");
    }
}

int frameDeduction(const QString &frameStyle)
{
    if (frameStyle == QLatin1String("Classic"))
        return 45;
    if (frameStyle.contains(QLatin1String("Micro")) || frameStyle.contains(QLatin1String("Mini")))
        return 10;
    return 16;
}

int minPanelHeight(const QString &rail, const QString &louvre)
{
    static const QStringList louvres{QStringLiteral("63mm"), QStringLiteral("76mm"), QStringLiteral("89mm")};
    static const int rail50[3] = {180, 190, 200};
    static const int rail100[3] = {290, 300, 310};
    const int col = louvres.indexOf(louvre);
    if (col < 0)
        return 0;
    if (rail == QLatin1String("50mm"))
        return rail50[col];
    if (rail == QLatin1String("100mm"))
        return rail100[col];
    return 0;
}

int maxPanelWidth(const QString &louvre, int style)
{
    static const int limits[3][3] = {{800, 800, 700}, {850, 800, 700}, {900, 800, 700}};
    int row = -1;
    if (louvre.contains(QLatin1String("63")))
        row = 0;
    else if (louvre.contains(QLatin1String("76")))
        row = 1;
    else if (louvre.contains(QLatin1String("89")))
        row = 2;
    if (row < 0 || style < 0 || style > 2)
        return 0;
    return limits[row][style];
}

QStringList panelConfigWarnings(const QString &pc, const QVariantMap &dataMap)
{
    QStringList warnings;
    if (pc.isEmpty()) {
        warnings << QStringLiteral("No Panel Configuration");
        return warnings;
    }
    checkMarks(pc, QLatin1Char('T'), QStringLiteral("TPost%1"),
               QStringLiteral("You can only have a maximum of 5 T Posts"),
               QStringLiteral("No measurement for TPost"), dataMap, warnings);
    checkMarks(pc, QLatin1Char('C'), QStringLiteral("CPanel%1"),
               QStringLiteral("You can only have a maximum of 5 custom width panels."),
               QStringLiteral("No measurement for Custom Panel "), dataMap, warnings);
    if (pc.endsWith(QLatin1Char('T')))
        warnings << QStringLiteral("Panel Configuration cannot end with a T");
    else if (pc.endsWith(QLatin1Char('C')))
        warnings << QStringLiteral("Panel Configuration cannot end with a C");
    return warnings;
}

QVector<PanelEntry> panelWidths(const QString &pc, int width, int frame, const QVariantMap &dataMap)
{
    QVector<PanelEntry> panels;

    QMap<int, QChar> marks;
    const int nT = pc.count(QLatin1Char('T'));
    const int nC = pc.count(QLatin1Char('C'));
    for (int i = 1; i <= nT; ++i)
        marks.insert(intValue(dataMap, QStringLiteral("TPost%1").arg(i)), QLatin1Char('T'));
    for (int i = 1; i <= nC; ++i)
        marks.insert(intValue(dataMap, QStringLiteral("CPanel%1").arg(i)), QLatin1Char('C'));
    const QList<int> pos = marks.keys();   // ascending
    QString letters = pc;
    letters.remove(QLatin1Char('L')).remove(QLatin1Char('R'));
    auto isT = [&letters](int k) { return k >= 0 && k < letters.size() && letters.at(k) == QLatin1Char('T'); };

    QVector<int> sectionWidths;
    if (pos.isEmpty()) {
        sectionWidths << width - 2 * frame;
    } else {
        if (pos.first() == 0)
            return panels;
        const int m = pos.size();
        sectionWidths << pos.first() - frame - (isT(0) ? 8 : 0);
        for (int k = 1; k < m; ++k)
            sectionWidths << pos.at(k) - pos.at(k - 1) - (isT(k - 1) ? 8 : 0) - (isT(k) ? 8 : 0);
        sectionWidths << width - pos.last() - frame - (isT(m - 1) ? 8 : 0);
    }

    static const QRegularExpression marksRe(QStringLiteral("[TC]"));
    const QStringList sections = pc.split(marksRe);
    for (int s = 0; s < sections.size(); ++s) {
        const QString &section = sections.at(s);
        const int n = section.size();
        if (n == 0)
            continue;
        int sw = sectionWidths.value(s);
        sw -= section.contains(QLatin1String("LR")) ? 4 : 2;
        const int panelWidth = roundHalfAway(double(sw) / n) - 2;
        for (int j = 0; j < n; ++j)
            panels.append(PanelEntry{section.at(j), panelWidth, styleAt(section, j)});
    }
    return panels;
}

PanelCheckResult panelCheck(const QString &pc, const QVector<PanelEntry> &panels, const QString &louvre,
                            const QString &rail, int drop)
{
    PanelCheckResult result;
    static const QRegularExpression lr(QStringLiteral("[LR]"));
    const int nLR = int(pc.count(lr));
    QStringList lines;
    if (!louvre.isEmpty() && nLR > 0) {
        QString sizeText;
        if (louvre.contains(QLatin1String("63")))
            sizeText = QStringLiteral("63mm");
        else if (louvre.contains(QLatin1String("76")))
            sizeText = QStringLiteral("76mm");
        else if (louvre.contains(QLatin1String("89")))
            sizeText = QStringLiteral("89mm");
        const int minHeight = minPanelHeight(rail, louvre);
        for (int i = 0; i < panels.size(); ++i) {
            const PanelEntry &p = panels.at(i);
            const int no = i + 1;
            QString mark;
            if (p.width < 150) {
                mark = QStringLiteral(" <font color='red'> Too narrow</font>");
                result.warnings << QStringLiteral("Panel %1 is %2mm wide. Minimum panel width is 150mm")
                                       .arg(no).arg(p.width);
            } else {
                const int limit = maxPanelWidth(louvre, p.style);
                if (limit > 0 && p.width > limit) {
                    mark = QStringLiteral(" <font color='red'> Too wide</font>");
                    result.warnings << QStringLiteral("Panel %1: %2 Panels with %3 Louvres cannot exceed %4mm.")
                                           .arg(no).arg(panelStyleName(p.style), sizeText).arg(limit);
                }
            }
            if (minHeight > 0 && drop < minHeight)
                result.warnings << QStringLiteral("Panel %1: Minimum height for %2 Louvre size with %3 Rails is %4mm")
                                       .arg(no).arg(louvre, rail).arg(minHeight);
            lines << QStringLiteral("%1. %2 %3mm %4").arg(no).arg(p.letter).arg(p.width).arg(mark);
        }
    }
    result.description = lines.join(QStringLiteral("<br>"))
        + QStringLiteral("<br><br><font size='2'>Widths after accounting for:<br>Frame width, T-Post widths<br>Hinges & LR door gaps");
    return result;
}

QStringList heightWarnings(const QString &style, int drop, const QVariantMap &dataMap)
{
    QStringList warnings;
    const QString sectionTooTall = QStringLiteral("Each divider rail section height must not exceed 2200mm");
    if (drop > 2200) {
        if (!style.contains(QLatin1String("Divider")) && !style.contains(QLatin1String("Tier on Tier"))) {
            warnings << QStringLiteral("For a height over 2200mm you must select Divider Rails or Tier on Tier shutter Style");
        } else if (!style.contains(QLatin1String("Tier"))) {
            const int d1 = intValue(dataMap, QStringLiteral("DividerRail1"));
            if (!style.contains(QLatin1String(" 2"))) {
                if (d1 > 1 && qMax(d1, drop - d1) > 2200)
                    warnings << sectionTooTall;
            } else {
                const int d2 = intValue(dataMap, QStringLiteral("DividerRail2"));
                if (d1 + d2 > 0 && (d1 > 2200 || drop - d2 > 2200 || d2 - d1 > 2200))
                    warnings << sectionTooTall;
            }
        } else {
            const int h = intValue(dataMap, style.contains(QLatin1String("no Transom")) ? QStringLiteral("SplitHeight")
                                                                                         : QStringLiteral("TransomHeight"));
            if (h > 0 && qMax(h, drop - h) > 2200)
                warnings << QStringLiteral("Each tier height must not exceed 2200mm");
        }
    }

    if (style.contains(QLatin1String("Divider")) && intValue(dataMap, QStringLiteral("DividerRail1")) == 0)
        warnings << QStringLiteral("No measurement for Divider Rail 1");
    if (style.contains(QLatin1String("Divider Rail x 2")) && intValue(dataMap, QStringLiteral("DividerRail2")) == 0)
        warnings << QStringLiteral("No measurement for Divider Rail 2");

    auto checkHeight = [&](const QString &key, const QString &missing, const QString &tooTall) {
        const int h = intValue(dataMap, key);
        if (h == 0)
            warnings << missing;
        else if (h >= drop)
            warnings << tooTall;
    };
    if (style.contains(QLatin1String("with transom"), Qt::CaseInsensitive))
        checkHeight(QStringLiteral("TransomHeight"), QStringLiteral("No measurement for Transom height"),
                    QStringLiteral("Transom height exceeds Shutter height"));
    else if (style.contains(QLatin1String("no transom"), Qt::CaseInsensitive))
        checkHeight(QStringLiteral("SplitHeight"), QStringLiteral("No measurement for Split height"),
                    QStringLiteral("Split height exceeds Shutter height"));
    return warnings;
}

#include "documents/shutterdrawing.h"

#include "models/qqmlobjectlistmodel.h"
#include "orders/inches.h"
#include "orders/optiongroup.h"
#include "orders/vexaorderitem.h"
#include "pricing/panels.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

using Shape = ShutterDrawing::Shape;
using Part = ShutterDrawing::Part;

// Sizes of the parts that are not measured, in mm, as commonly made.
constexpr double kTPostHalf = 8;      // the panel widths allow 8 mm each side of a post's centre
constexpr double kPanelGap = 1;       // each panel edge (hinge and meeting gaps)
constexpr double kStile = 45;
constexpr double kEndRail = 90;
constexpr double kDividerRail = 60;
constexpr double kTransom = 40;
constexpr double kHingeLength = 60;

QString groupDescription(const VexaOrderItem &item, const QString &group)
{
    const OptionGroup *g = item.getOptionGroup(group);
    return g ? g->description() : QString();
}

int intValue(const QVariantMap &data, const QString &key)
{
    return data.value(key).toString().trimmed().toInt();
}

Shape rect(ShutterDrawing::Style style, const QRectF &r)
{
    Shape s;
    s.kind = Shape::Rect;
    s.style = style;
    s.rect = r;
    return s;
}

Shape lines(ShutterDrawing::Style style, QVector<QLineF> l)
{
    Shape s;
    s.kind = Shape::Lines;
    s.style = style;
    s.lines = std::move(l);
    return s;
}

Shape text(const QRectF &around, const QString &t, bool vertical)
{
    Shape s;
    s.kind = Shape::Text;
    s.style = ShutterDrawing::DimTextStyle;
    s.rect = around;
    s.text = t;
    s.vertical = vertical;
    return s;
}

QString number(double v)
{
    // a tenth of a millimetre is finer than anything measured
    return QString::number(std::round(v * 10) / 10, 'g', 8);
}

struct Mark
{
    bool tpost = false;
    double x = 0;
};

int louvreSize(const VexaOrderItem &item)
{
    QString louvre = groupDescription(item, QStringLiteral("Louvre Size"));
    if (louvre.isEmpty())
        louvre = item.dataMap().value(QStringLiteral("louvre")).toString();
    for (int size : {63, 76, 89, 114})
        if (louvre.contains(QString::number(size)))
            return size;
    return 76;
}

// The dimension text of a length: inches when the item was measured in them.
QString lengthText(int mm, bool inches)
{
    if (inches) {
        const QString in = inchesText(mm);
        if (!in.isEmpty())
            return in + QStringLiteral(" in");
    }
    return QStringLiteral("%1 mm").arg(mm);
}

// One panel: outline, stiles and rails, louvres, tilt bar and hinges, with
// the horizontal breaks (divider rails, split, tilt-bar splits) given as
// heights from the top of the drawing.
Part panelPart(const QRectF &p, QChar hinge, int louvre, const QVector<double> &railYs, double splitY,
               int tiltMode)
{
    Part part;
    part.cls = QStringLiteral("panel");
    part.data.append({QStringLiteral("data-hinge"), QString(hinge)});
    part.shapes.append(rect(ShutterDrawing::PanelStyle, p));

    const double stile = std::min(kStile, p.width() / 4);
    const double endRail = std::min(kEndRail, p.height() / 6);
    const double left = p.left() + stile, right = p.right() - stile;
    // the louvred zones: between the end rails, broken at each divider rail
    // and at the split
    QVector<QPair<double, double>> zones{{p.top() + endRail, p.bottom() - endRail}};
    auto cut = [&zones](double from, double to) {
        QVector<QPair<double, double>> out;
        for (const auto &z : zones) {
            if (to <= z.first || from >= z.second) {
                out.append(z);
                continue;
            }
            if (from > z.first)
                out.append({z.first, from});
            if (to < z.second)
                out.append({to, z.second});
        }
        zones = out;
    };
    for (double y : railYs)
        cut(y - kDividerRail / 2, y + kDividerRail / 2);
    if (splitY > 0)
        cut(splitY - endRail, splitY + endRail);

    QVector<QLineF> frameLines{QLineF(left, p.top(), left, p.bottom()), QLineF(right, p.top(), right, p.bottom())};
    QVector<QLineF> louvres;
    QVector<QLineF> tilt;
    const double tiltX = tiltMode == 2 ? (hinge == QLatin1Char('L') ? right - (right - left) / 4
                                                                    : left + (right - left) / 4)
                                       : (left + right) / 2;
    for (const auto &z : zones) {
        frameLines << QLineF(left, z.first, right, z.first) << QLineF(left, z.second, right, z.second);
        if (right - left < 4 || z.second - z.first < louvre / 2.0)
            continue;
        const int n = std::max(1, int((z.second - z.first) / louvre));
        const double pitch = (z.second - z.first) / n;
        for (int i = 0; i < n; ++i) {
            const double y = z.first + pitch * (i + 0.5);
            louvres << QLineF(left, y, right, y);
        }
        if (tiltMode != 0)
            tilt << QLineF(tiltX, z.first + pitch / 2, tiltX, z.second - pitch / 2);
    }
    part.shapes.append(lines(ShutterDrawing::StileStyle, frameLines));
    if (!louvres.isEmpty())
        part.shapes.append(lines(ShutterDrawing::LouvreStyle, louvres));
    if (!tilt.isEmpty())
        part.shapes.append(lines(ShutterDrawing::TiltBarStyle, tilt));

    // hinges on the hinge side: two, three on a tall panel
    const int hinges = p.height() > 1500 ? 3 : 2;
    const double hingeX = hinge == QLatin1Char('L') ? p.left() - 2 : p.right() - 2;
    const double length = std::min(kHingeLength, p.height() / 6);
    for (int i = 0; i < hinges; ++i) {
        const double centre = p.top() + endRail / 2 + (p.height() - endRail) * i / (hinges - 1);
        const double top = std::clamp(centre - length / 2, p.top(), p.bottom() - length);
        part.shapes.append(rect(ShutterDrawing::HingeStyle, QRectF(hingeX, top, 4, length)));
    }
    return part;
}

} // namespace

ShutterDrawing shutterDrawing(const VexaOrderItem &item)
{
    ShutterDrawing d;
    const int W = item.bl_width(), H = item.bl_drop();
    if (W <= 0 || H <= 0 || W > 99999 || H > 99999) {
        d.bounds = QRectF(0, 0, 1, 1);
        return d;
    }
    d.width = W;
    d.height = H;
    const double big = std::max(W, H);
    d.fontSize = std::clamp(big / 22, 24.0, 200.0);
    d.strokeWidth = std::clamp(big / 600, 1.0, 6.0);
    const QVariantMap data = item.dataMap();
    const bool handles = item.bl_product().contains(QLatin1String("erfect"));
    const double F = std::min<double>(frameDeduction(groupDescription(item, QStringLiteral("Frame Style"))),
                                      std::min(W, H) / 4.0);

    Part frame;
    frame.cls = QStringLiteral("frame");
    Shape ring;
    ring.kind = Shape::Ring;
    ring.style = ShutterDrawing::FrameStyle;
    ring.rect = QRectF(0, 0, W, H);
    ring.ring = F;
    frame.shapes.append(ring);
    d.parts.append(frame);
    const QRectF inner(F, F, W - 2 * F, H - 2 * F);

    if (handles) {
        Part glass;
        glass.cls = QStringLiteral("glass");
        glass.shapes.append(rect(ShutterDrawing::GlassStyle, inner));
        d.parts.append(glass);
    } else {
        QString pc;
        for (QChar c : data.value(QStringLiteral("PanelConfig")).toString().toUpper())
            if (c == QLatin1Char('L') || c == QLatin1Char('R') || c == QLatin1Char('T') || c == QLatin1Char('C'))
                pc.append(c);

        // sections of hinged panels between the marks, in typed order
        QStringList sections{QString()};
        QVector<Mark> marks;
        QVector<int> measured;
        int nT = 0, nC = 0;
        for (QChar c : pc) {
            if (c == QLatin1Char('L') || c == QLatin1Char('R')) {
                sections.last().append(c);
                continue;
            }
            const bool t = c == QLatin1Char('T');
            const int n = t ? ++nT : ++nC;
            marks.append({t, 0});
            measured.append(n <= 5 ? intValue(data, (t ? QStringLiteral("TPost%1") : QStringLiteral("CPanel%1")).arg(n))
                                   : 0);
            sections.append(QString());
        }
        // Measured marks are drawn where measured, in ascending order as the
        // panel widths take them; while any is missing or outside the
        // opening, every mark is placed by the panel count instead, so the
        // drawing follows the typing.
        QVector<int> sorted = measured;
        std::sort(sorted.begin(), sorted.end());
        bool usable = true;
        for (int i = 0; i < sorted.size(); ++i)
            usable = usable && sorted[i] > F && sorted[i] < W - F && (i == 0 || sorted[i] > sorted[i - 1]);
        if (usable && !marks.isEmpty()) {
            QVector<int> order(marks.size());
            for (int i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(), [&measured](int a, int b) { return measured[a] < measured[b]; });
            QVector<Mark> placed;
            for (int i : order)
                placed.append({marks[i].tpost, double(measured[i])});
            marks = placed;
        } else {
            int total = 0;
            for (const QString &s : sections)
                total += std::max(1, int(s.size()));
            int before = 0;
            for (int i = 0; i < marks.size(); ++i) {
                before += std::max(1, int(sections[i].size()));
                marks[i].x = F + inner.width() * before / total;
            }
        }

        // horizontal breaks, as heights from the bottom
        QVector<double> railYs;
        QVector<int> rails;
        for (const QString &key : {QStringLiteral("DividerRail1"), QStringLiteral("DividerRail2")}) {
            const int h = intValue(data, key);
            if (h > F && h < H - F) {
                rails << h;
                railYs << H - h;
            }
        }
        const int transom = intValue(data, QStringLiteral("TransomHeight"));
        const bool hasTransom = transom > F && transom < H - F;
        const int split = intValue(data, QStringLiteral("SplitHeight"));
        const bool hasSplit = split > F && split < H - F;
        QVector<int> tiltSplits;
        for (const QString &key : {QStringLiteral("TiltBarSplit1"), QStringLiteral("TiltBarSplit2")}) {
            const int h = intValue(data, key);
            if (h > F && h < H - F)
                tiltSplits << h;
        }
        QString tiltChoice = groupDescription(item, QStringLiteral("Tilt Bar"));
        if (tiltChoice.isEmpty())
            tiltChoice = groupDescription(item, QStringLiteral("Control Type"));
        const int tiltMode = tiltChoice.contains(QLatin1String("Hidden"), Qt::CaseInsensitive)   ? 0
                             : tiltChoice.contains(QLatin1String("Offset"), Qt::CaseInsensitive) ? 2
                                                                                                  : 1;
        const int louvre = louvreSize(item);

        // panels: with a transom the panels stand below and above it
        QVector<QPair<double, double>> tiers;
        if (hasTransom)
            tiers = {{H - transom + kTransom / 2, H - F}, {F, H - transom - kTransom / 2}};
        else
            tiers = {{F, H - F}};
        for (const auto &tier : tiers) {
            // a transom close to the frame leaves no room for panels on that side
            if (tier.second - tier.first < 10 * kPanelGap)
                continue;
            for (int s = 0; s < sections.size(); ++s) {
                const QString &letters = sections[s];
                if (letters.isEmpty())
                    continue;
                double from = F, to = W - F;
                if (s > 0)
                    from = marks[s - 1].x + (marks[s - 1].tpost ? kTPostHalf : 0);
                if (s < marks.size())
                    to = marks[s].x - (marks[s].tpost ? kTPostHalf : 0);
                if (to - from < letters.size())
                    continue;
                const double each = (to - from) / letters.size();
                for (int i = 0; i < letters.size(); ++i) {
                    const QRectF p(from + each * i + kPanelGap, tier.first + kPanelGap, each - 2 * kPanelGap,
                                   tier.second - tier.first - 2 * kPanelGap);
                    QVector<double> inside;
                    for (double y : railYs)
                        if (y > p.top() && y < p.bottom())
                            inside << y;
                    const double splitY = hasSplit && H - split > p.top() && H - split < p.bottom() ? H - split : 0;
                    d.parts.append(panelPart(p, letters[i], louvre, inside, splitY, tiltMode));
                }
            }
        }

        for (const Mark &m : marks) {
            Part part;
            part.cls = m.tpost ? QStringLiteral("tpost") : QStringLiteral("joint");
            part.data.append({QStringLiteral("data-x"), number(m.x)});
            if (m.tpost)
                part.shapes.append(rect(ShutterDrawing::TPostStyle, QRectF(m.x - kTPostHalf, F, 2 * kTPostHalf, H - 2 * F)));
            else
                part.shapes.append(lines(ShutterDrawing::JointStyle, {QLineF(m.x, F, m.x, H - F)}));
            d.parts.append(part);
        }
        for (int i = 0; i < rails.size(); ++i) {
            Part part;
            part.cls = QStringLiteral("rail");
            part.data.append({QStringLiteral("data-y"), QString::number(rails[i])});
            part.shapes.append(lines(ShutterDrawing::RailStyle, {QLineF(F, railYs[i], W - F, railYs[i])}));
            d.parts.append(part);
        }
        if (hasTransom) {
            Part part;
            part.cls = QStringLiteral("transom");
            part.data.append({QStringLiteral("data-y"), QString::number(transom)});
            part.shapes.append(rect(ShutterDrawing::TransomStyle, QRectF(F, H - transom - kTransom / 2, W - 2 * F, kTransom)));
            d.parts.append(part);
        }
        if (hasSplit) {
            Part part;
            part.cls = QStringLiteral("split");
            part.data.append({QStringLiteral("data-y"), QString::number(split)});
            part.shapes.append(lines(ShutterDrawing::SplitStyle, {QLineF(F, H - split, W - F, H - split)}));
            d.parts.append(part);
        }
        for (int h : tiltSplits) {
            Part part;
            part.cls = QStringLiteral("tiltsplit");
            part.data.append({QStringLiteral("data-y"), QString::number(h)});
            part.shapes.append(lines(ShutterDrawing::TiltSplitStyle, {QLineF(F, H - h, W - F, H - h)}));
            d.parts.append(part);
        }
    }

    // dimension lines: the width below, the height to the right
    const double gap = d.fontSize * 0.8, tick = d.fontSize * 0.4;
    const double dimY = H + gap, dimX = W + gap;
    const bool inches = item.bl_inches();
    Part width;
    width.cls = QStringLiteral("dimension");
    width.shapes.append(lines(ShutterDrawing::DimLineStyle,
                              {QLineF(0, dimY, W, dimY), QLineF(0, dimY - tick, 0, dimY + tick),
                               QLineF(W, dimY - tick, W, dimY + tick)}));
    width.shapes.append(text(QRectF(0, dimY + tick, W, d.fontSize * 1.3), lengthText(W, inches), false));
    d.parts.append(width);
    Part height;
    height.cls = QStringLiteral("dimension");
    height.shapes.append(lines(ShutterDrawing::DimLineStyle,
                               {QLineF(dimX, 0, dimX, H), QLineF(dimX - tick, 0, dimX + tick, 0),
                                QLineF(dimX - tick, H, dimX + tick, H)}));
    height.shapes.append(text(QRectF(dimX + tick, 0, d.fontSize * 1.3, H), lengthText(H, inches), true));
    d.parts.append(height);

    const double pad = d.strokeWidth * 2;
    d.bounds = QRectF(-pad, -pad, dimX + tick + d.fontSize * 1.4 + 2 * pad, dimY + tick + d.fontSize * 1.4 + 2 * pad);
    return d;
}

namespace {

struct Look
{
    const char *fill;
    const char *stroke;
    double width;  // times the drawing's stroke width
    bool dashed;
};

Look look(ShutterDrawing::Style style)
{
    switch (style) {
    case ShutterDrawing::FrameStyle: return {"#d9d4cc", "#333333", 1, false};
    case ShutterDrawing::PanelStyle: return {"#ffffff", "#333333", 1, false};
    case ShutterDrawing::StileStyle: return {"none", "#555555", 0.8, false};
    case ShutterDrawing::LouvreStyle: return {"none", "#9a9a9a", 0.6, false};
    case ShutterDrawing::TiltBarStyle: return {"none", "#666666", 1.2, false};
    case ShutterDrawing::HingeStyle: return {"#555555", "#555555", 0.5, false};
    case ShutterDrawing::TPostStyle: return {"#7d766c", "#333333", 1, false};
    case ShutterDrawing::JointStyle: return {"none", "#c0392b", 1.5, true};
    case ShutterDrawing::RailStyle: return {"none", "#333333", 2, false};
    case ShutterDrawing::TransomStyle: return {"#bcb6ad", "#333333", 1, false};
    case ShutterDrawing::SplitStyle: return {"none", "#333333", 2, false};
    case ShutterDrawing::TiltSplitStyle: return {"none", "#2471a3", 1.5, true};
    case ShutterDrawing::DimLineStyle: return {"none", "#2471a3", 1, false};
    case ShutterDrawing::DimTextStyle: return {"#2471a3", "none", 0, false};
    case ShutterDrawing::GlassStyle: return {"#e8f1f8", "#333333", 1, false};
    }
    return {"none", "#000000", 1, false};
}

QString escaped(const QString &s)
{
    return s.toHtmlEscaped();
}

} // namespace

QString shutterSvg(const ShutterDrawing &d)
{
    QString out;
    out.reserve(8192);
    const QRectF b = d.bounds;
    out += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%1\" height=\"%2\" "
                          "viewBox=\"%3 %4 %1 %2\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n")
               .arg(number(b.width()), number(b.height()), number(b.left()), number(b.top()));
    for (const ShutterDrawing::Part &part : d.parts) {
        out += QStringLiteral("<g class=\"") + part.cls + QLatin1Char('"');
        for (const auto &attr : part.data)
            out += QLatin1Char(' ') + attr.first + QStringLiteral("=\"") + escaped(attr.second) + QLatin1Char('"');
        out += QStringLiteral(">\n");
        for (const ShutterDrawing::Shape &s : part.shapes) {
            const Look l = look(s.style);
            const QString paint =
                QStringLiteral("fill=\"%1\" stroke=\"%2\" stroke-width=\"%3\"%4")
                    .arg(QLatin1String(l.fill), QLatin1String(l.stroke), number(l.width * d.strokeWidth),
                         l.dashed ? QStringLiteral(" stroke-dasharray=\"%1 %1\"").arg(number(d.strokeWidth * 6))
                                  : QString());
            switch (s.kind) {
            case ShutterDrawing::Shape::Rect:
                out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" %5/>\n")
                           .arg(number(s.rect.x()), number(s.rect.y()), number(s.rect.width()),
                                number(s.rect.height()), paint);
                break;
            case ShutterDrawing::Shape::Ring: {
                const QRectF o = s.rect, i = s.rect.adjusted(s.ring, s.ring, -s.ring, -s.ring);
                out += QStringLiteral("<path fill-rule=\"evenodd\" d=\"M%1 %2H%3V%4H%1Z M%5 %6H%7V%8H%5Z\" %9/>\n")
                           .arg(number(o.left()), number(o.top()), number(o.right()), number(o.bottom()),
                                number(i.left()), number(i.top()), number(i.right()), number(i.bottom()), paint);
                break;
            }
            case ShutterDrawing::Shape::Lines: {
                QString path;
                path.reserve(s.lines.size() * 24);
                for (const QLineF &line : s.lines)
                    path += QLatin1Char('M') + number(line.x1()) + QLatin1Char(' ') + number(line.y1())
                            + QLatin1Char('L') + number(line.x2()) + QLatin1Char(' ') + number(line.y2());
                out += QStringLiteral("<path d=\"%1\" %2/>\n").arg(path, paint);
                break;
            }
            case ShutterDrawing::Shape::Text: {
                const QPointF c = s.rect.center();
                const QString rotate = s.vertical ? QStringLiteral(" transform=\"rotate(-90 %1 %2)\"")
                                                        .arg(number(c.x()), number(c.y()))
                                                  : QString();
                out += QStringLiteral("<text class=\"dim\" x=\"%1\" y=\"%2\" font-size=\"%3\" text-anchor=\"middle\" "
                                      "fill=\"%4\"%5>%6</text>\n")
                           .arg(number(c.x()), number(c.y() + d.fontSize * 0.35), number(d.fontSize),
                                QLatin1String(l.fill), rotate, escaped(s.text));
                break;
            }
            }
        }
        out += QStringLiteral("</g>\n");
    }
    out += QStringLiteral("</svg>\n");
    return out;
}

QString shutterDrawingSvg(const VexaOrderItem &item)
{
    return shutterSvg(shutterDrawing(item));
}

void paintShutter(QPainter &painter, const QRectF &target, const ShutterDrawing &d)
{
    if (d.bounds.isEmpty() || target.isEmpty())
        return;
    const double scale = std::min(target.width() / d.bounds.width(), target.height() / d.bounds.height());
    painter.save();
    painter.translate(target.center());
    painter.scale(scale, scale);
    painter.translate(-d.bounds.center());
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(d.fontSize)));
    for (const ShutterDrawing::Part &part : d.parts) {
        for (const ShutterDrawing::Shape &s : part.shapes) {
            const Look l = look(s.style);
            QPen pen(QColor(QLatin1String(l.stroke)), l.width * d.strokeWidth);
            if (l.dashed)
                pen.setDashPattern({6, 6});
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(qstrcmp(l.stroke, "none") == 0 ? QPen(Qt::NoPen) : pen);
            painter.setBrush(qstrcmp(l.fill, "none") == 0 ? QBrush(Qt::NoBrush) : QBrush(QColor(QLatin1String(l.fill))));
            switch (s.kind) {
            case ShutterDrawing::Shape::Rect:
                painter.drawRect(s.rect);
                break;
            case ShutterDrawing::Shape::Ring: {
                QPainterPath path;
                path.setFillRule(Qt::OddEvenFill);
                path.addRect(s.rect);
                path.addRect(s.rect.adjusted(s.ring, s.ring, -s.ring, -s.ring));
                painter.drawPath(path);
                break;
            }
            case ShutterDrawing::Shape::Lines:
                painter.drawLines(s.lines);
                break;
            case ShutterDrawing::Shape::Text: {
                painter.setPen(QColor(QLatin1String(l.fill)));
                painter.setFont(font);
                painter.save();
                const QPointF c = s.rect.center();
                painter.translate(c);
                if (s.vertical)
                    painter.rotate(-90);
                const QRectF box(-d.bounds.width(), -d.fontSize, 2 * d.bounds.width(), 2 * d.fontSize);
                painter.drawText(box, Qt::AlignCenter, s.text);
                painter.restore();
                break;
            }
            }
        }
    }
    painter.restore();
}

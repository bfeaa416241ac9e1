#pragma once

#include <QLineF>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;
class VexaOrderItem;

// A drawing of one shutter at true proportions, worked out from the item
// alone: one unit is one millimetre, the frame's outer edge at x = 0 and the
// shutter's top at y = 0 (heights measured from the bottom are turned
// round). The same shapes are written as SVG (screens, tools) and painted
// (the quote PDF), so both show the same thing.
struct ShutterDrawing
{
    // How a shape is drawn; one fill/stroke per style.
    enum Style {
        FrameStyle,
        PanelStyle,
        StileStyle,
        LouvreStyle,
        TiltBarStyle,
        HingeStyle,
        TPostStyle,
        JointStyle,
        RailStyle,
        TransomStyle,
        SplitStyle,
        TiltSplitStyle,
        DimLineStyle,
        DimTextStyle,
        GlassStyle
    };
    struct Shape
    {
        enum Kind { Rect, Ring, Lines, Text };
        Kind kind = Rect;
        Style style = PanelStyle;
        QRectF rect;          // Rect; Ring: the outer edge
        double ring = 0;      // Ring: its width
        QVector<QLineF> lines;
        QString text;         // Text: centred on rect's centre
        bool vertical = false; // Text: reads upwards
    };
    // One marked part: "panel", "tpost", "joint", "rail", ... with its
    // data attributes (data-hinge, data-x, data-y).
    struct Part
    {
        QString cls;
        QVector<QPair<QString, QString>> data;
        QVector<Shape> shapes;
    };

    int width = 0;       // mm
    int height = 0;      // mm
    QRectF bounds;       // everything drawn, dimension lines included
    double fontSize = 40;
    double strokeWidth = 2;
    QVector<Part> parts;
};

// The drawing of an item (width, drop, "PanelConfig", "TPost1".."TPost5",
// "CPanel1".."CPanel5", "DividerRail1/2", "TransomHeight", "SplitHeight",
// "TiltBarSplit1/2", the louvre size, frame style and tilt bar choices, the
// inch flag for the dimension texts). An item without a size gives an empty
// drawing.
ShutterDrawing shutterDrawing(const VexaOrderItem &item);

// The drawing as a standalone SVG document.
QString shutterSvg(const ShutterDrawing &drawing);
QString shutterDrawingSvg(const VexaOrderItem &item);

// Paints the drawing scaled to fit target (kept in proportion, centred).
void paintShutter(QPainter &painter, const QRectF &target, const ShutterDrawing &drawing);

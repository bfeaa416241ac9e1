// The shutter drawing of every item of any order file: always well-formed
// XML, panels marked with a hinge side only, posts and joints inside the
// shutter's width, rails and tilt-bar splits inside its height, no more
// panels than hinged letters typed, and the two dimension texts for an item
// with a size.
#include "fuzzsupport.h"

#include "documents/shutterdrawing.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <cmath>

namespace {

void check(const VexaOrderItem &item)
{
    const QString svg = shutterDrawingSvg(item);
    const int W = item.bl_width(), H = item.bl_drop();
    const bool sized = W > 0 && H > 0 && W <= 99999 && H <= 99999;
    int hinged = 0;
    for (QChar c : item.dataMap().value(QStringLiteral("PanelConfig")).toString().toUpper())
        hinged += c == QLatin1Char('L') || c == QLatin1Char('R');

    QXmlStreamReader xml(svg);
    int panels = 0, dims = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QStringRef cls = a.value(QLatin1String("class"));
        if (cls == QLatin1String("panel")) {
            ++panels;
            const QStringRef hinge = a.value(QLatin1String("data-hinge"));
            if (hinge != QLatin1String("L") && hinge != QLatin1String("R"))
                Fuzz::fail("panel without a hinge side", hinge.toUtf8());
        } else if (cls == QLatin1String("tpost") || cls == QLatin1String("joint")) {
            const double x = a.value(QLatin1String("data-x")).toDouble();
            if (!(x > 0 && x < W))
                Fuzz::fail("mark outside the width", svg.toUtf8());
        } else if (cls == QLatin1String("rail") || cls == QLatin1String("tiltsplit") || cls == QLatin1String("transom")
                   || cls == QLatin1String("split")) {
            const double y = a.value(QLatin1String("data-y")).toDouble();
            if (!(y > 0 && y < H))
                Fuzz::fail("height outside the shutter", svg.toUtf8());
        } else if (cls == QLatin1String("dim")) {
            ++dims;
        }
    }
    if (xml.hasError())
        Fuzz::fail("drawing is not well-formed XML", xml.errorString().toUtf8());
    // a transom doubles the panels (below and above it)
    if (panels > 2 * hinged)
        Fuzz::fail("more panels than typed", svg.toUtf8());
    if (sized != (dims == 2))
        Fuzz::fail("dimension texts", svg.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    const QJsonDocument doc = QJsonDocument::fromJson(Fuzz::bytes(data, size));
    if (!doc.isObject())
        return 0;
    VexaOrder order;
    order.autoSave = false;
    order.readJson(doc.object());
    for (const VexaOrderItem *item : *order.orderItemsModel())
        check(*item);
    return 0;
}

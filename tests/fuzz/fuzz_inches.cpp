// Lengths typed in inches and millimetres, at any size.
#include "fuzzsupport.h"

#include "orders/vexaorder.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    static VexaOrder *order = nullptr;
    if (!order) {
        order = new VexaOrder;
        order->autoSave = false;
    }
    qint32 mm = 0;
    std::memcpy(&mm, data, qMin(size, sizeof mm));
    const QString inches = order->mm2Inches(mm);
    if ((mm <= 0 || mm > 9999) != inches.isEmpty())
        Fuzz::fail("mm2Inches range", Fuzz::bytes(data, size));
    const QString back = order->inches2mm(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    bool ok = false;
    back.toInt(&ok);
    if (!back.isEmpty() && !ok)
        Fuzz::fail("inches2mm gave no number", Fuzz::bytes(data, size));
    return 0;
}

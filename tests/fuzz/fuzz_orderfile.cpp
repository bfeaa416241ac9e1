// Order files as they arrive (imports, transfers, files from older versions):
// read, written back, and read again to the same order.
#include "fuzzsupport.h"

#include "app/appcontext.h"
#include "orders/vexaorder.h"

#include <QFile>
#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    const QString path = AppContext::dataFolder + QStringLiteral("/fuzz-order");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fuzz::fail("cannot write the order");
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    VexaOrder order;
    order.autoSave = false;
    if (!order.readOrderFile(path))
        return 0;
    const QByteArray first = QJsonDocument(order.toJson()).toJson(QJsonDocument::Compact);
    if (!order.writeOrderFile(path))
        Fuzz::fail("cannot write the order back");
    VexaOrder again;
    again.autoSave = false;
    if (!again.readOrderFile(path))
        Fuzz::fail("written order unreadable", Fuzz::bytes(data, size));
    if (QJsonDocument(again.toJson()).toJson(QJsonDocument::Compact) != first)
        Fuzz::fail("order changed by writing and reading", Fuzz::bytes(data, size));
    return 0;
}

// The portal export's order input: any order file, exported as it stands
// (as `lattica-cli order xml` does) and, when the order loading accepts it,
// once more after the order was loaded and saved again (as posting does).
// The export either refuses with a message, leaving the order's earlier XML
// file as it was, or writes well-formed XML under its own name in "tmp".
#include "fuzzsupport.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "documents/uploadtolta.h"
#include "orders/fileutils.h"
#include "orders/vexaorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

namespace {

const QByteArray kEarlier("<Order earlier=\"1\"/>");

void setUpAccounts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    AppContext::openSettings();
    appSettings *shared = AppContext::sharedSettings();
    shared->setValue(QStringLiteral("busNames/C123456"), QStringLiteral("Main Shutters Ltd"));
    shared->setValue(QStringLiteral("busNames/M7654321"), QStringLiteral("North Branch"));
    shared->setValue(QStringLiteral("buslist/C123456"), QStringList{QStringLiteral("Head Office")});
    shared->setValue(QStringLiteral("buslist/M7654321"), QStringList{QStringLiteral("North Yard")});
    shared->setValue(QStringLiteral("C123456/Head Office"), QStringLiteral("LOC-001"));
    shared->setValue(QStringLiteral("M7654321/North Yard"), QStringLiteral("LOC-002"));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        Fuzz::fail("cannot write", path.toUtf8());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void exportOnce(const QString &orderPath, const QString &account)
{
    const QString tmp = AppContext::dataFolder + QStringLiteral("/tmp");
    QDir(tmp).removeRecursively();
    QDir().mkpath(tmp);
    // the name the export will use, when the order names itself safely
    const QJsonObject obj = parseJsonDocument(readFile(orderPath)).object();
    const QString id = UploadTo3rdParty::jsonString(obj, QStringLiteral("orderID"));
    const QString expected = tmp + QStringLiteral("/Shutter") + id + QStringLiteral(".xml");
    const bool named = isSafeOrderId(id);
    if (named)
        writeFile(expected, kEarlier);

    UploadToLTA exporter;
    const QString error = exporter.orderToXml(orderPath, account);
    const QStringList left = QDir(tmp).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!error.isEmpty()) {
        if (named && readFile(expected) != kEarlier)
            Fuzz::fail("a refused export changed the earlier file", error.toUtf8());
        if (left.size() != (named ? 1 : 0))
            Fuzz::fail("a refused export left files behind", left.join(QLatin1Char(',')).toUtf8());
        return;
    }
    if (!named)
        Fuzz::fail("exported an order without a usable ID", id.toUtf8());
    if (exporter.filePath() != expected || left != QStringList{QFileInfo(expected).fileName()})
        Fuzz::fail("the export wrote elsewhere", exporter.filePath().toUtf8());
    QXmlStreamReader xml(readFile(expected));
    int items = 0;
    bool rootSeen = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (!rootSeen) {
            rootSeen = true;
            if (xml.name() != QLatin1String("Order") || xml.attributes().value(QLatin1String("CustOrderID")) != id)
                Fuzz::fail("the XML does not begin with the order", id.toUtf8());
        } else if (xml.name() == QLatin1String("Item")) {
            ++items;
        } else {
            Fuzz::fail("unexpected element", xml.name().toUtf8());
        }
    }
    if (xml.hasError() || !rootSeen)
        Fuzz::fail("the export wrote malformed XML", xml.errorString().toUtf8());
    if (items > obj.value(QStringLiteral("items")).toArray().size())
        Fuzz::fail("more items exported than the order holds");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    setUpAccounts();
    // The first byte picks the account: the order's own, or one given.
    const QString account = size > 0 && data[0] % 2 ? QStringLiteral("C123456") : QString();
    const QString path = AppContext::dataFolder + QStringLiteral("/fuzz-portal-order");
    writeFile(path, Fuzz::bytes(data, size));
    exportOnce(path, account);

    VexaOrder order;
    order.autoSave = false;
    if (!order.readOrderFile(path))
        return 0;
    if (!order.writeOrderFile(path))
        Fuzz::fail("cannot write the loaded order back");
    exportOnce(path, account);
    return 0;
}

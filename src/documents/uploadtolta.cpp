#include "uploadtolta.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businesslookup.h"
#include "orders/fileutils.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSysInfo>
#include <QXmlStreamWriter>

namespace {

const QString kOrderFileError = QStringLiteral("Error in order file");
const QString kMissingAccount = QStringLiteral("Missing account information");

// XML 1.0 cannot carry most control characters, not even escaped.
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || c.isSurrogate() || u == 0xFFFE
                   || u == 0xFFFF) {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

// Attribute names taken from option texts must be plain XML names; "xml..."
// names are reserved and a colon would ask for a namespace.
bool isAttributeName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[\\p{L}_][\\p{L}\\p{N}._\\-]*$"));
    return pattern.match(name).hasMatch() && !name.startsWith(QLatin1String("xml"), Qt::CaseInsensitive);
}

bool isTrue(const QJsonValue &v)
{
    return v.isBool() ? v.toBool() : v.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

QString dataText(const QJsonObject &data, const QString &key)
{
    return UploadTo3rdParty::jsonString(data, key);
}

// Attributes of one element, in writing order.
struct Attributes
{
    QXmlStreamAttributes *list;
    void add(const QString &name, const QString &value) { list->append(name, xmlText(value)); }
    void addIfSet(const QString &name, const QString &value)
    {
        if (!value.isEmpty())
            add(name, value);
    }
};

} // namespace

UploadToLTA::UploadToLTA(QObject *parent)
    : UploadTo3rdParty(parent)
{
}

QString UploadToLTA::upload(const QString &orderPath, const QString &accountCode)
{
    const QString error = orderToXml(orderPath);
    if (!error.isEmpty())
        return error;
    return deliver(accountCode, newTransferName(accountCode));
}

QString UploadToLTA::newTransferName(const QString &accountCode)
{
    return QStringLiteral("%1_%2").arg(accountCode).arg(QDateTime::currentMSecsSinceEpoch());
}

QString UploadToLTA::deliver(const QString &accountCode, const QString &transferName)
{
    // the code becomes part of the remote path
    if (!isAccountNumber(accountCode))
        return QStringLiteral("Invalid acount number: ") + accountCode;
    const QString stamp = transferName.mid(accountCode.size() + 1);
    bool digits = !stamp.isEmpty();
    for (const QChar c : stamp)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!transferName.startsWith(accountCode + QLatin1Char('_')) || !digits)
        return QStringLiteral("Invalid transfer name: ") + transferName;
    const QString folder = AppContext::setting(QStringLiteral("ftpFolder"), QStringLiteral("Orders")).toString();
    const QString result = uploadData(QStringLiteral("/%1/Shutter_%2.xml").arg(folder, transferName));
    if (result.isEmpty())
        AppContext::userSettings()->setValue(QStringLiteral("ltaUpload"), transferName);
    return result;
}

QString UploadToLTA::orderToXml(const QString &orderPath, const QString &accountOverride)
{
    m_order = QJsonObject();
    if (!jsonFromFile(orderPath, &m_order)) {
        qCritical() << "orderToXml The input file is not valid json";
        return kOrderFileError;
    }
    const QString manOrderID = jsonString(m_order, QStringLiteral("manOrderID"));
    const QString orderID = jsonString(m_order, QStringLiteral("orderID"));
    // the ID names the output file
    if (!isSafeOrderId(orderID)) {
        qCritical() << "orderToXml unusable orderID" << orderID;
        return kOrderFileError;
    }
    const QString tmp = AppContext::dataFolder + QStringLiteral("/tmp");
    if (!QFileInfo(tmp).exists())
        QDir().mkpath(tmp);
    m_filePath = QStringLiteral("%1/Shutter%2.xml").arg(tmp, orderID);
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qCritical() << m_filePath << file.errorString();
        return QStringLiteral("Failed to open the file fot transfer.");
    }
    // nothing below reaches the final name unless the file is committed

    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("Order"));
    QXmlStreamAttributes orderAttrs;
    Attributes order{&orderAttrs};

    const QJsonValue propsValue = m_order.value(QStringLiteral("props"));
    if (!propsValue.isObject()) {
        qCritical() << "vexaToLTAXml: missing properties";
        return QStringLiteral("Missing data in order");
    }
    const QJsonObject props = propsValue.toObject();
    m_stilesOnly = isTrue(props.value(QStringLiteral("stilesOnly")));

    // The account: the order's business name, else the first account of the
    // business. Names live under "busNames/<code>"; "buslist/<code>" holds
    // that account's delivery names.
    appSettings *shared = AppContext::sharedSettings();
    QString accountCode, accountName;
    if (!accountOverride.isEmpty()) {
        accountCode = accountOverride;
        accountName = shared ? shared->value(QStringLiteral("busNames/") + accountCode).toString() : QString();
    } else {
        accountName = jsonString(props, QStringLiteral("AccountName"));
        if (!accountName.isEmpty()) {
            accountCode = accountForBusinessName(accountName);
        } else if (shared) {
            shared->beginGroup(QStringLiteral("buslist"));
            accountCode = shared->childKeys().value(0);
            shared->endGroup();
            if (accountCode.isEmpty())
                qCritical() << "vexaToLTAXml: missing businessIDs";
            else
                accountName = shared->value(QStringLiteral("busNames/") + accountCode).toString();
        }
    }
    if (accountCode.isEmpty() || accountName.isEmpty()) {
        qCritical() << "vexaToLTAXml: no account for" << accountName << accountCode;
        return kMissingAccount;
    }
    order.add(QStringLiteral("AccountName"), accountName);
    order.add(QStringLiteral("AccountCode"), accountCode);
    order.add(QStringLiteral("CustOrderRef"), manOrderID);
    order.add(QStringLiteral("CustOrderID"), orderID);
    QDateTime when = QDateTime::fromString(jsonString(m_order, QStringLiteral("date")), Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(jsonString(m_order, QStringLiteral("apmnt")), Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::currentDateTime();
    order.add(QStringLiteral("OrderDate"), when.toString(QStringLiteral("dd/M/yyyy")));
    order.addIfSet(QStringLiteral("Notes"), jsonString(m_order, QStringLiteral("jobNotes")));
    order.addIfSet(QStringLiteral("Os"), QSysInfo::prettyProductName());
    order.add(QStringLiteral("VexaLTAVersion"), QStringLiteral("%1.%2.%3").arg(1).arg(7).arg(7));

    // Delivery. The completion screen offers the delivery address for every
    // choice that begins with "Deliver"; the export follows the same rule.
    if (!jsonString(props, QStringLiteral("list1sel_s")).startsWith(QLatin1String("Deliver"))) {
        order.add(QStringLiteral("DeliveryLocationName"), QStringLiteral("Collect"));
    } else if (isTrue(props.value(QStringLiteral("da_used")))) {
        order.add(QStringLiteral("ISPRIMARY"), QStringLiteral("false"));
        order.addIfSet(QStringLiteral("DeliveryName"), jsonString(props, QStringLiteral("da_name")));
        order.addIfSet(QStringLiteral("City"), jsonString(props, QStringLiteral("da_city")));
        order.addIfSet(QStringLiteral("StreetNumber"), jsonString(props, QStringLiteral("da_streetnum")));
        order.addIfSet(QStringLiteral("Street"), jsonString(props, QStringLiteral("da_street")));
        order.addIfSet(QStringLiteral("BuildingCompliment"), jsonString(props, QStringLiteral("da_buildcomp")));
        const QString state = jsonString(props, QStringLiteral("da_state"));
        order.add(QStringLiteral("State"), state.isEmpty() ? QStringLiteral("England") : state);
        order.addIfSet(QStringLiteral("PostCode"), jsonString(props, QStringLiteral("da_postcode")));
        order.addIfSet(QStringLiteral("MobilePhone"), jsonString(props, QStringLiteral("da_phone")));
        order.add(QStringLiteral("CountryRegionId"), jsonString(props, QStringLiteral("da_country")));
    } else {
        // "delAddr" is the user's display name; the supplier knows the
        // delivery name it maps to (unrenamed addresses keep their own name)
        const QString display = jsonString(props, QStringLiteral("delAddr"));
        QString deliveryName = deliveryNameForDisplayName(accountCode, display);
        if (deliveryName.isEmpty())
            deliveryName = display;
        QString lookupError;
        const QString locationID = locationIdForDeliveryName(accountCode, deliveryName, &lookupError);
        if (!lookupError.isEmpty() || locationID.isEmpty()) {
            qCritical() << "vexaToLTAXml: no location for" << accountCode << display;
            return QStringLiteral("Failed to find account Code data");
        }
        order.add(QStringLiteral("DeliveryLocationName"), deliveryName);
        order.add(QStringLiteral("DeliveryLocationID"), locationID);
    }
    xml.writeAttributes(orderAttrs);

    // Items keep their position in the order, excluded ones included, and
    // are numbered per room within this order.
    m_roomCounters.clear();
    const QJsonArray items = m_order.value(QStringLiteral("items")).toArray();
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject item = items.at(i).toObject();
        if (isTrue(item.value(QStringLiteral("excl"))))
            continue;
        QXmlStreamAttributes attrs;
        const QString error = writeItem(item, i + 1, &attrs);
        if (!error.isEmpty()) {
            qCritical() << "vexaToLTAXml:" << error;
            return error;
        }
        xml.writeStartElement(QStringLiteral("Item"));
        xml.writeAttributes(attrs);
        xml.writeEndElement();
    }

    xml.writeEndElement();
    xml.writeEndDocument();
    // commit() ignores a failure to flush its buffer, which would put a
    // truncated file in place: flush first and check.
    if (xml.hasError() || !file.flush() || !file.commit()) {
        qCritical() << "commit failed" << file.errorString();
        return QStringLiteral("Faled to write the XML transfer file");
    }
    return QString();
}

QString UploadToLTA::writeItem(const QJsonObject &item, int itemNumber, QXmlStreamAttributes *list)
{
    // group -> code, description[, mult]
    OptionTable options;
    for (const QJsonValue &v : item.value(QStringLiteral("options")).toArray()) {
        const QJsonObject o = v.toObject();
        QStringList entry{jsonString(o, QStringLiteral("code")), jsonString(o, QStringLiteral("description"))};
        const QString mult = jsonInt(o, QStringLiteral("mult"));
        if (!mult.isEmpty())
            entry << mult;
        options.insert(jsonString(o, QStringLiteral("group")), entry);
    }
    auto value = [&options](const QString &group) {
        const QStringList entry = options.value(group);
        if (entry.size() < 2)
            return QString();
        QString v = entry.at(0).isEmpty() ? entry.at(1) : entry.at(0);
        if (v.startsWith(QLatin1Char('+')))
            v.remove(0, 1);
        return v;
    };
    auto count = [&options](const QString &group) {
        const QStringList entry = options.value(group);
        return entry.size() < 3 ? QStringLiteral("1") : entry.at(2);
    };

    const QJsonObject data = item.value(QStringLiteral("data")).toObject();
    const QString width = jsonInt(item, QStringLiteral("width"));
    const QString drop = jsonInt(item, QStringLiteral("drop"));
    Attributes a{list};

    const QString room = jsonString(item, QStringLiteral("room"));
    const int n = room.isEmpty() ? 1 : ++m_roomCounters[room];
    a.add(QStringLiteral("ShutterWindowLocation"), QStringLiteral("%1 #%2").arg(room).arg(n));
    a.addIfSet(QStringLiteral("ShutterInstruction"), jsonString(item, QStringLiteral("notes")));
    a.add(QStringLiteral("ItemNumber"), QString::number(itemNumber));
    a.addIfSet(QStringLiteral("Quantity"), jsonInt(item, QStringLiteral("mult")).simplified());
    a.add(QStringLiteral("Width"), width);
    a.add(QStringLiteral("Drop"), drop);

    if (isPerfectFit(jsonString(item, QStringLiteral("product")))) {
        a.add(QStringLiteral("LatticaShutterOption"), QStringLiteral("LatticaShutterPerfectFit"));
        a.addIfSet(QStringLiteral("PanelConfiguration"), value(QStringLiteral("Panel Configuration")));
        a.add(QStringLiteral("WindowDepth"), value(QStringLiteral("Glass Depth")));
        const QString handle = value(QStringLiteral("Handle Type"));
        if (handle.isEmpty() || handle.startsWith(QLatin1String("No"), Qt::CaseInsensitive))
            return QString();
        a.add(QStringLiteral("HandlePosition"), value(QStringLiteral("Handle Location")));
        if (handle.startsWith(QLatin1String("Window"))) {
            a.add(QStringLiteral("HandleColourWindow"), value(QStringLiteral("Handle Colour")));
            a.add(QStringLiteral("HandleQuantityWindow"), count(QStringLiteral("Handle Colour")));
            const QString rebate = dataText(data, QStringLiteral("Handle_Rebate_Position"));
            if (rebate == QLatin1String("Centre"))
                a.add(QStringLiteral("WindowHandleCentred"), QStringLiteral("true"));
            else
                a.add(QStringLiteral("HandleRebatePosition"), rebate);
            const QString packer = value(QStringLiteral("Handle Packer"));
            if (!packer.isEmpty() && !packer.startsWith(QLatin1String("No"), Qt::CaseInsensitive)) {
                a.add(QStringLiteral("HandlePacker"), packer);
                a.add(QStringLiteral("HandlePackerQuantity"), count(QStringLiteral("Handle Packer")));
            }
        } else if (handle.startsWith(QLatin1String("Door"))) {
            a.add(QStringLiteral("HandleColourDoor"), value(QStringLiteral("Door Handle Colour")));
            a.add(QStringLiteral("HandleQuantityDoor"), count(QStringLiteral("Door Handle Colour")));
            a.add(QStringLiteral("HRailPosition"), dataText(data, QStringLiteral("HRailPosition")));
        }
        return QString();
    }

    const QString panels = dataText(data, QStringLiteral("PanelConfig")).toUpper();
    a.add(QStringLiteral("LatticaShutterOption"),
          m_stilesOnly ? QStringLiteral("LatticaStilesOnly") : QStringLiteral("LatticaShutterComplete"));
    a.addIfSet(QStringLiteral("PanelConfiguration"), panels);
    a.add(QStringLiteral("ShutterType"), QStringLiteral("Lattica"));
    a.add(QStringLiteral("ShutterColour"), value(QStringLiteral("Colour")));
    a.add(QStringLiteral("LouvreSize"), value(QStringLiteral("Louvre Size")));
    const QString style = value(QStringLiteral("Shutter Style"));
    a.add(QStringLiteral("ShutterStyle"), style);
    if (style.contains(QLatin1String("RAIL")))
        a.addIfSet(QStringLiteral("DivRailPosFirst"), dataText(data, QStringLiteral("DividerRail1")));
    if (style.contains(QLatin1String("RAILX2")))
        a.addIfSet(QStringLiteral("DivRailPosSecond"), dataText(data, QStringLiteral("DividerRail2")));
    if (style.contains(QLatin1String("TRANSOM")))
        a.addIfSet(QStringLiteral("TransomHeight"), dataText(data, QStringLiteral("TransomHeight")));
    if (style == QLatin1String("TIERONTIER"))
        a.addIfSet(QStringLiteral("SplitHeight"), dataText(data, QStringLiteral("SplitHeight")));

    // Frame style codes keep no leading "+" either: it marks the option
    // table's own entries, the portal does not know it.
    QString frameStyle = options.value(QStringLiteral("Frame Style")).value(0);
    if (frameStyle.startsWith(QLatin1Char('+')))
        frameStyle.remove(0, 1);
    a.add(QStringLiteral("FrameStyle"), frameStyle);
    a.add(QStringLiteral("FrameApplication"), value(QStringLiteral("Frame Application")));

    static const char *const tPosts[] = {"TPostPositionFirst", "TPostPositionSecond", "TPostPositionThird",
                                         "TPostPosition4", "TPostPosition5"};
    const int tCount = qMin(int(panels.count(QLatin1Char('T'))), 5);
    for (int i = 0; i < tCount; ++i)
        a.addIfSet(QLatin1String(tPosts[i]), dataText(data, QStringLiteral("TPost%1").arg(i + 1)));
    const int cCount = qMin(int(panels.count(QLatin1Char('C'))), 5);
    for (int i = 0; i < cCount; ++i)
        a.addIfSet(QStringLiteral("CPanelWidth%1").arg(i + 1), dataText(data, QStringLiteral("CPanel%1").arg(i + 1)));

    a.add(QStringLiteral("TiltBar"), value(QStringLiteral("Tilt Bar")));
    a.addIfSet(QStringLiteral("TiltBarSplit1"), dataText(data, QStringLiteral("TiltBarSplit1")));
    a.addIfSet(QStringLiteral("TiltBarSplit2"), dataText(data, QStringLiteral("TiltBarSplit2")));
    a.add(QStringLiteral("RailSize"), value(QStringLiteral("Rail Size")));
    if (panels.contains(QLatin1String("LR")) || panels.contains(QLatin1String("LCR")))
        a.add(QStringLiteral("Astragal"), value(QStringLiteral("Astragal")));

    if (!frameStyle.contains(QLatin1String("Classic"), Qt::CaseInsensitive)) {
        const QString buildOut = value(QStringLiteral("Build Out"));
        a.add(QStringLiteral("Buildout"), buildOut);
        if (buildOut == QLatin1String("Custom")) {
            static const QRegularExpression side(QStringLiteral("[LRTB]:"));
            const QStringList parts = dataText(data, QStringLiteral("CustomBuildout")).split(side);
            if (parts.size() >= 5) {
                a.addIfSet(QStringLiteral("BuildoutLeft"), parts.at(1).simplified());
                a.addIfSet(QStringLiteral("BuildoutRight"), parts.at(2).simplified());
                a.addIfSet(QStringLiteral("BuildoutTop"), parts.at(3).simplified());
                a.addIfSet(QStringLiteral("BuildoutBottom"), parts.at(4).simplified());
            }
        }
    }
    a.add(QStringLiteral("ClosingSystem"), value(QStringLiteral("Catch")));
    a.add(QStringLiteral("DeliveryType"), isTrue(data.value(QStringLiteral("Flatpack"))) ? QStringLiteral("FlatPack")
                                                                                       : QStringLiteral("PreAssembled"));
    static const char *const sides[][2] = {{"L", "Left"}, {"R", "Right"}, {"T", "Top"}, {"B", "Bottom"}};
    for (const auto &s : sides) {
        if (isTrue(data.value(QStringLiteral("RigidScribe") + QLatin1String(s[0]))))
            a.add(QStringLiteral("RigidScribeStrip") + QLatin1String(s[1]), *s[0] == 'L' || *s[0] == 'R' ? drop : width);
    }

    if (frameStyle.contains(QLatin1String("Multi"), Qt::CaseInsensitive)) {
        for (const char *group : {"Bay Posts 90deg", "Bay Posts 135deg", "FlexiBayJoint"}) {
            const QString name = xmlText(value(QLatin1String(group)));
            if (name.isEmpty())
                continue;
            if (!isAttributeName(name) || list->hasAttribute(name))
                return QStringLiteral("The option \"%1\" of item %2 cannot be sent to the portal: \"%3\" %4")
                    .arg(QLatin1String(group), QString::number(itemNumber), name,
                         isAttributeName(name) ? QStringLiteral("is already set on the item")
                                               : QStringLiteral("is not a valid XML attribute name"));
            a.add(name, count(QLatin1String(group)));
        }
        if (!value(QStringLiteral("RearCovers")).isEmpty())
            a.add(QStringLiteral("RearCoverStrip"), QStringLiteral("True"));
        for (const auto &s : sides) {
            if (isTrue(data.value(QStringLiteral("Scribe") + QLatin1String(s[0]))))
                a.add(QStringLiteral("ScribeStrip") + QLatin1String(s[1]), *s[0] == 'L' || *s[0] == 'R' ? drop : width);
        }
    }
    return QString();
}

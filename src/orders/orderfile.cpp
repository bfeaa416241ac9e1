// The order file: writing and reading the JSON object, the folder moves that
// change an order's state, importing and transferring, and order identities.

#include "cloud/postingjournal.h"
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/downloadbudget.h"
#include "models/qqmlobjectlistmodel.h"
#include "models/qqmlvariantlistmodel.h"
#include "orders/fileutils.h"
#include "orders/optiongroup.h"
#include "orders/orderusers.h"
#include "orders/vexaorder.h"
#include "orders/orderrecord.h"
#include "orders/orderwriter.h"
#include "orders/vexaorderitem.h"

#include <QDate>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

namespace {

// Writers leave a member out when its value is empty.
void putText(QJsonObject &obj, const char *key, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (!trimmed.isEmpty())
        obj.insert(QLatin1String(key), trimmed);
}

void putInt(QJsonObject &obj, const char *key, int value)
{
    if (value != 0)
        obj.insert(QLatin1String(key), value);
}

void putFlag(QJsonObject &obj, const char *key, bool value)
{
    if (value)
        obj.insert(QLatin1String(key), true);
}

QString money(double value)
{
    return QString::number(value, 'f', 2);
}

void putDecimal(QJsonObject &obj, const char *key, double value)
{
    if (value != 0)
        obj.insert(QLatin1String(key), money(value));
}

void putDate(QJsonObject &obj, const char *key, const QDateTime &value)
{
    if (value.isValid())
        obj.insert(QLatin1String(key), value.toString(Qt::ISODateWithMs));
}

void putMap(QJsonObject &obj, const char *key, const QVariantMap &value)
{
    if (!value.isEmpty())
        obj.insert(QLatin1String(key), QJsonObject::fromVariantMap(value));
}

// Readers take a member only when it has the expected JSON type; anything
// else (missing or of another type) is the empty value.
QString getText(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

int getInt(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    return v.isDouble() ? v.toInt() : 0;
}

bool getFlag(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    return v.isBool() && v.toBool();
}

// Order decimals come as text (current writers) or as numbers (older ones).
double getDecimal(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    if (v.isString())
        return v.toString().toDouble();
    return v.isDouble() ? v.toDouble() : 0;
}

QDateTime getDate(const QJsonObject &obj, const char *key)
{
    return QDateTime::fromString(getText(obj, key), Qt::ISODateWithMs);
}

QVariantMap getMap(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    return v.isObject() ? v.toObject().toVariantMap() : QVariantMap();
}

QJsonArray getArray(const QJsonObject &obj, const char *key)
{
    const QJsonValue v = obj.value(QLatin1String(key));
    return v.isArray() ? v.toArray() : QJsonArray();
}

QStringList getTextList(const QJsonObject &obj, const char *key)
{
    QStringList list;
    const QJsonArray array = getArray(obj, key);
    for (const QJsonValue &v : array) {
        if (v.isString())
            list << v.toString();
    }
    return list;
}

QJsonObject optionJson(const OptionRecord &group)
{
    QJsonObject obj;
    putText(obj, "group", group.group);
    putText(obj, "description", group.description);
    putText(obj, "price", group.price);
    putFlag(obj, "manualPrice", group.manualPrice);
    if (group.multiple > 1)
        obj.insert(QLatin1String("mult"), group.multiple);
    putFlag(obj, "added", group.added);
    putText(obj, "code", group.code);
    QVariantMap calc = group.calc;
    for (auto it = calc.begin(); it != calc.end();) {
        if (it.value().isNull())
            it = calc.erase(it);
        else
            ++it;
    }
    putMap(obj, "calc", calc);
    return obj;
}

QJsonObject itemJson(const ItemRecord &item)
{
    QJsonObject obj;
    putText(obj, "room", item.room);
    putInt(obj, "width", item.width);
    putInt(obj, "drop", item.drop);
    putInt(obj, "fixheight", item.fixheight);
    putFlag(obj, "inches", item.inches);
    putFlag(obj, "inchesJ", item.inchesJob);
    putText(obj, "controls", item.controls);
    putText(obj, "fixType", item.fixType);
    putText(obj, "measureType", item.measureType);
    putFlag(obj, "turn", item.turn);
    putText(obj, "notes", item.notes);
    putFlag(obj, "notesInc", item.notesInc);
    if (item.multiple > 1)
        obj.insert(QLatin1String("mult"), item.multiple);
    putText(obj, "product", item.product);
    putText(obj, "supplier", item.supplier);
    putText(obj, "range", item.range);
    putText(obj, "color", item.color);
    obj.insert(QLatin1String("extras_price"), money(item.extrasPrice));
    obj.insert(QLatin1String("item_price"), money(item.itemPrice));
    putFlag(obj, "man_price", item.manualPrice);
    putFlag(obj, "excl", item.exclude);
    putText(obj, "bandOverride", item.bandOverride);
    putText(obj, "band", item.band);
    if (!item.warnings.isEmpty())
        obj.insert(QLatin1String("warnings"), QJsonArray::fromStringList(item.warnings));
    putText(obj, "btypeCode", item.btypeCode);
    putText(obj, "fabricCode", item.fabricCode);
    putMap(obj, "calc", item.calc);
    putMap(obj, "data", item.data);
    QJsonArray options;
    for (const OptionRecord &group : item.options)
        options.append(optionJson(group));
    obj.insert(QLatin1String("options"), options);
    return obj;
}

OptionGroup *optionFromJson(const QJsonObject &obj, QObject *parent)
{
    auto *group = new OptionGroup(parent);
    group->set_optionGroup(getText(obj, "group"));
    group->set_description(getText(obj, "description"));
    group->set_price(getText(obj, "price"));
    group->set_manualPrice(getFlag(obj, "manualPrice"));
    const int mult = getInt(obj, "mult");
    group->set_multiple(mult < 1 ? 1 : mult);
    if (mult > 1)
        group->set_isMulti(true);
    group->set_isAdded(getFlag(obj, "added"));
    group->code = getText(obj, "code");
    group->set_optsCalcMap(getMap(obj, "calc"));
    return group;
}

// The older option form: four parallel arrays of at most eight entries.
void readExtras(const QJsonObject &obj, VexaOrderItem *item)
{
    const QJsonArray descs = getArray(obj, "extras");
    const QJsonArray groups = getArray(obj, "extrasGps");
    const QJsonArray prices = getArray(obj, "extrasPrices");
    const QJsonArray manual = getArray(obj, "extrasPricesMan");
    for (int i = 0; i < 8; ++i) {
        const QString desc = descs.at(i).isString() ? descs.at(i).toString() : QString();
        if (desc.isEmpty())
            continue;
        auto *group = new OptionGroup(item);
        group->set_description(desc);
        const double price = prices.at(i).isDouble() ? prices.at(i).toDouble() : 0;
        group->set_price(price > 0 ? money(price) : QString());
        group->set_optionGroup(groups.at(i).isString() ? groups.at(i).toString() : QString());
        group->set_manualPrice(manual.at(i).isBool() && manual.at(i).toBool());
        group->set_multiple(1);
        item->optionsModel()->append(group);
    }
}

const QRegularExpression &uuidPattern()
{
    static const QRegularExpression re(QStringLiteral("[0-9a-f]{8}[-]?([0-9a-f]{4}[-]?){3}[0-9a-f]{12}"));
    return re;
}

// True when a file of that ID exists in any state folder.
bool orderFileExists(const QString &orderID)
{
    OrderWriter::instance().flush();   // a file still being written exists too
    for (int state = VexaOrder::Received; state <= VexaOrder::ForTransfer; ++state) {
        if (QFileInfo::exists(AppContext::stateFolder(state) + orderID))
            return true;
    }
    return QFileInfo::exists(AppContext::stateFolder(VexaOrder::Backup) + orderID);
}

} // namespace

QJsonObject orderRecordJson(const OrderRecord &o)
{
    QJsonObject obj;
    obj.insert(QLatin1String("orderID"), o.orderID.trimmed());
    putText(obj, "manOrderID", o.manOrderID);
    putDate(obj, "sentDate", o.sentDate);
    putText(obj, "custAddr", o.custAddress);
    putText(obj, "custName", o.custName);
    putText(obj, "custAdd", o.custAddr);
    putText(obj, "custPcode", o.custPcode);
    putText(obj, "custPhone", o.custPhone);
    putText(obj, "custEmail", o.custEmail);
    putInt(obj, "mailCheckResult", o.mailCheckResult);
    putText(obj, "jobNotes", o.jobNotes);
    putText(obj, "orderNotes", o.orderNotes);
    putText(obj, "quoteNotes", o.quoteNotes);
    putDecimal(obj, "fitting", o.fitting);
    putDecimal(obj, "discount", o.discount);
    putDecimal(obj, "deposit", o.deposit);
    putText(obj, "paytype", o.paytype);
    putDecimal(obj, "finalPrice", o.finalPrice);
    putText(obj, "sig", o.signature);
    putFlag(obj, "confirm", o.confirmed);
    putDate(obj, "date", o.date);
    if (o.appointment.isValid()) {
        putDate(obj, "apmnt", o.appointment);
        putInt(obj, "apmins", o.apmins);
        putText(obj, "apType", o.apType);
    }
    putFlag(obj, "toCust", o.toCust);
    putFlag(obj, "itmPrc", o.perItemPrice);
    putFlag(obj, "exVat", o.exVat);
    putFlag(obj, "agreeChk", o.agreeChk);
    putText(obj, "xto", o.xto);
    putText(obj, "xfrom", o.xfrom);
    putText(obj, "otid", o.otid);
    putText(obj, "supplierRcpt", o.supplierRcpt);
    putMap(obj, "props", o.properties);
    if (!o.items.isEmpty()) {
        QJsonArray items;
        for (const ItemRecord &item : o.items)
            items.append(itemJson(item));
        obj.insert(QLatin1String("items"), items);
    }
    return obj;
}

OrderRecord VexaOrder::record() const
{
    OrderRecord o;
    o.orderID = orderID();
    o.manOrderID = manOrderID();
    o.sentDate = sentDate();
    o.custAddress = custAddress();
    o.custName = custName();
    o.custAddr = custAddr();
    o.custPcode = custPcode();
    o.custPhone = custPhone();
    o.custEmail = custEmail();
    o.mailCheckResult = mailCheckResult();
    o.jobNotes = jobNotes();
    o.orderNotes = orderNotes();
    o.quoteNotes = quoteNotes();
    o.fitting = fittingCost();
    o.discount = discount();
    o.deposit = deposit();
    o.finalPrice = balance();
    o.paytype = paytype();
    o.signature = signature();
    o.confirmed = confirmed();
    o.date = date();
    o.appointment = appointment();
    o.apmins = apmins();
    o.apType = apType();
    o.toCust = sendEmailToCustomer();
    o.perItemPrice = perItemPrice();
    o.exVat = exVat();
    o.agreeChk = agreeChk();
    o.xto = xto;
    o.xfrom = xfrom;
    o.otid = otid;
    o.supplierRcpt = supplierRcpt;
    o.properties = properties();
    o.items.reserve(m_orderItemsModel->count());
    for (const VexaOrderItem *item : *m_orderItemsModel) {
        ItemRecord r;
        r.room = item->room();
        r.width = item->bl_width();
        r.drop = item->bl_drop();
        r.fixheight = item->bl_fixheight();
        r.inches = item->bl_inches();
        r.inchesJob = item->bl_inchesJob();
        r.controls = item->bl_controls();
        r.fixType = item->bl_fixType();
        r.measureType = item->bl_measureType();
        r.turn = item->turn;
        r.notes = item->bl_notes();
        r.notesInc = item->bl_notesInc();
        r.multiple = item->bl_multiple();
        r.product = item->bl_product();
        r.supplier = item->bl_supplier();
        r.range = item->bl_range();
        r.color = item->bl_color();
        r.extrasPrice = item->extras_price();
        r.itemPrice = item->item_price();
        r.manualPrice = item->manualPrice();
        r.exclude = item->bl_exclude();
        r.bandOverride = item->bl_bandOverride();
        r.band = item->bl_band();
        r.warnings = item->m_warnings();
        r.btypeCode = item->btypeCode;
        r.fabricCode = item->fabricCode;
        r.calc = item->calcMap();
        r.data = item->dataMap();
        for (const OptionGroup *group : *item->optionsModel()) {
            if (!group->isStored())
                continue;
            r.options.append(OptionRecord{group->optionGroup(), group->description(), group->price(),
                                          group->storedCode(), group->manualPrice(), group->isAdded(),
                                          group->multiple(), group->optsCalcMap()});
        }
        o.items.append(r);
    }
    return o;
}

QJsonObject VexaOrder::toJson() const
{
    return orderRecordJson(record());
}

VexaOrderItem *VexaOrder::itemFromJson(const QJsonObject &obj)
{
    auto *item = new VexaOrderItem(this);
    item->set_room(getText(obj, "room"));
    item->set_bl_width(getInt(obj, "width"));
    item->set_bl_drop(getInt(obj, "drop"));
    item->set_bl_fixheight(getInt(obj, "fixheight"));
    item->set_bl_inches(getFlag(obj, "inches"));
    item->set_bl_inchesJob(getFlag(obj, "inchesJ"));
    item->set_bl_controls(getText(obj, "controls"));
    item->set_bl_fixType(getText(obj, "fixType"));
    item->set_bl_measureType(getText(obj, "measureType"));
    item->turn = getFlag(obj, "turn");
    item->set_bl_notes(getText(obj, "notes"));
    item->set_bl_notesInc(getFlag(obj, "notesInc"));
    const int mult = getInt(obj, "mult");
    item->set_bl_multiple(mult < 1 ? 1 : mult);
    item->set_bl_product(getText(obj, "product"));
    item->set_bl_supplier(getText(obj, "supplier"));
    item->set_bl_range(getText(obj, "range"));
    item->set_bl_color(getText(obj, "color"));
    item->set_extras_price(getText(obj, "extras_price").toDouble());
    item->set_item_price(getText(obj, "item_price").toDouble());
    item->set_manualPrice(getFlag(obj, "man_price"));
    item->set_bl_exclude(getFlag(obj, "excl"));
    item->set_bl_bandOverride(getText(obj, "bandOverride"));
    item->set_bl_band(getText(obj, "band"));
    item->set_m_warnings(getTextList(obj, "warnings"));
    item->btypeCode = getText(obj, "btypeCode");
    item->fabricCode = getText(obj, "fabricCode");
    item->set_calcMap(getMap(obj, "calc"));
    item->set_dataMap(getMap(obj, "data"));
    if (obj.contains(QLatin1String("extras"))) {
        readExtras(obj, item);
    } else {
        const QJsonArray options = getArray(obj, "options");
        for (const QJsonValue &v : options) {
            if (v.isObject())
                item->optionsModel()->append(optionFromJson(v.toObject(), item));
        }
    }
    return item;
}

void VexaOrder::readJson(const QJsonObject &obj)
{
    clear();
    set_orderID(getText(obj, "orderID").trimmed());
    set_manOrderID(getText(obj, "manOrderID"));
    set_sentDate(getDate(obj, "sentDate"));
    set_custAddress(getText(obj, "custAddr"));
    set_custName(getText(obj, "custName"));
    set_custAddr(getText(obj, "custAdd"));
    set_custPcode(getText(obj, "custPcode"));
    set_custPhone(getText(obj, "custPhone"));
    set_custEmail(getText(obj, "custEmail"));
    set_mailCheckResult(getInt(obj, "mailCheckResult"));
    set_jobNotes(getText(obj, "jobNotes"));
    set_orderNotes(getText(obj, "orderNotes"));
    set_quoteNotes(getText(obj, "quoteNotes"));
    set_fittingCost(getDecimal(obj, "fitting"));
    set_discount(getDecimal(obj, "discount"));
    set_deposit(getDecimal(obj, "deposit"));
    set_paytype(getText(obj, "paytype"));
    set_balance(getDecimal(obj, "finalPrice"));
    set_signature(getText(obj, "sig"));
    set_confirmed(getFlag(obj, "confirm"));
    set_date(getDate(obj, "date"));
    set_appointment(getDate(obj, "apmnt"));
    // The length is only stored with an appointment; without one the
    // default length stays for the next appointment set.
    if (appointment().isValid())
        set_apmins(getInt(obj, "apmins"));
    set_apType(getText(obj, "apType"));
    set_sendEmailToCustomer(getFlag(obj, "toCust"));
    set_perItemPrice(getFlag(obj, "itmPrc"));
    set_exVat(getFlag(obj, "exVat"));
    set_agreeChk(getFlag(obj, "agreeChk"));
    xto = getText(obj, "xto");
    xfrom = getText(obj, "xfrom");
    otid = getText(obj, "otid");
    supplierRcpt = getText(obj, "supplierRcpt");
    const QJsonValue props = obj.value(QLatin1String("props"));
    if (!props.isUndefined() && !props.isNull())
        set_properties(props.isObject() ? props.toObject().toVariantMap() : QVariantMap());

    const QJsonArray items = getArray(obj, "items");
    QList<VexaOrderItem *> loaded;
    loaded.reserve(items.size());
    for (const QJsonValue &v : items) {
        if (v.isObject())
            loaded.append(itemFromJson(v.toObject()));
    }
    // one insertion for the views and the proxy rather than one per item
    m_orderItemsModel->append(loaded);
    QSet<QString> rooms;
    for (const VexaOrderItem *item : qAsConst(loaded)) {
        if (!rooms.contains(item->room())) {
            rooms.insert(item->room());
            m_roomsModel->append(item->room());
        }
    }
    if (!m_orderItemsModel->isEmpty())
        setRoomItemsModel(m_orderItemsModel->getFirst()->room());
}

bool VexaOrder::readOrderFile(const QString &path)
{
    OrderWriter::instance().flush();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        qCritical() << "Couldn't read order." << path << f.errorString();
        return false;
    }
    if (f.size() > kMaxOrderFileSize) {
        qCritical() << "Order file too large:" << path << f.size() << "bytes";
        return false;
    }
    const QJsonDocument doc = parseJsonDocument(f.readAll());
    if (!doc.isObject()) {
        qCritical() << "Failed to load Json doc" << path;
        return false;
    }
    readJson(doc.object());
    if (!date().isValid()) {
        const QFileInfo info(path);
        set_date(info.birthTime().isValid() ? info.birthTime() : info.lastModified());
    }
    const CatalogueReadPass reads;
    for (VexaOrderItem *item : *m_orderItemsModel) {
        setCurrentItem(item);
        rebuildOptionGroups(item);
        const QString panels = item->calcMap().value(QStringLiteral("PanelConfig")).toString();
        if (!panels.contains(QLatin1String("LR")) && !panels.contains(QLatin1String("LCR"))) {
            if (OptionGroup *astragal = item->getOptionGroup(QStringLiteral("Astragal"))) {
                item->optionsModel()->remove(astragal);
                delete astragal;
            }
        }
    }
    return true;
}

bool VexaOrder::writeOrderFile(const QString &target) const
{
    OrderWriter::instance().flush();
    return OrderWriter::commit(target, QJsonDocument(toJson()).toJson(QJsonDocument::Compact));
}

bool VexaOrder::saveInBackground()
{
    if (orderID().isEmpty() || !changed())
        return saveOrder();
    const QString inProgress = orderFilePath(InProgress, orderID());
    // Anything that moves a file is done in step, by the ordinary save.
    if (inProgress.isEmpty() || QFileInfo::exists(AppContext::stateFolder(ForPosting) + orderID()))
        return saveOrder();
    QPointer<VexaOrder> self(this);
    // only the snapshot is taken here; the writer thread makes the file content
    const OrderRecord snapshot = record();
    OrderWriter::instance().write(inProgress,
                                  [snapshot] {
                                      return QJsonDocument(orderRecordJson(snapshot)).toJson(QJsonDocument::Compact);
                                  },
                                  [self](bool ok) {
                                      if (ok)
                                          return;
                                      // not on disk after all: the next save tries again
                                      QMetaObject::invokeMethod(self, [self] {
                                          if (self)
                                              self->set_changed(true);
                                      }, Qt::QueuedConnection);
                                  });
    set_changed(false);
    return true;
}

bool VexaOrder::saveOrder(int completedState)
{
    // a background save still waiting must not land after this one
    OrderWriter::instance().flush();
    if (orderID().isEmpty())
        return false;
    if (!changed() && completedState == 0)
        return true;
    const QString inProgress = orderFilePath(InProgress, orderID());
    if (inProgress.isEmpty())
        return false;
    const QString post = AppContext::stateFolder(ForPosting) + orderID();
    QString target;
    if (completedState == 0) {
        target = inProgress;
        if (QFileInfo::exists(post) && !moveFile(post, inProgress, true)) {
            qCritical() << "saveOrder:" << AppContext::lastFileError;
            return false;
        }
    } else {
        target = post;
        if (!QFileInfo::exists(post)) {
            const QString from = completedState == 2 ? AppContext::stateFolder(Posted) + orderID() : inProgress;
            if (!moveFile(from, post, true)) {
                qCritical() << "saveOrder:" << AppContext::lastFileError;
                return false;
            }
        }
        set_orderState(ForPosting);
        // Queued by the user (Send, Resend): a new posting, which mails
        // whatever an earlier one of this order did.
        clearPostingJournal(orderID());
    }

    if (!writeOrderFile(target))
        return false;
    set_changed(false);
    return true;
}

bool VexaOrder::loadOrder(const QString &orderIDArg, VexaOrder::OrderState state, bool moveToInProgress)
{
    set_changed(false);
    QString id = orderIDArg;
    QString path;
    if (state != Import && !isSafeOrderId(id)) {
        orderFilePath(state, id); // logs the refusal
    } else if (state == UnKnown) {
        for (int s = Received; s <= ForTransfer; ++s) {
            const QString candidate = orderFilePath(s, id);
            if (!candidate.isEmpty() && QFileInfo::exists(candidate)) {
                path = candidate;
                break;
            }
        }
    } else if (state == Import) {
        id = orderIDArg.section(QLatin1Char(';'), 0, 0);
        path = orderIDArg.section(QLatin1Char(';'), -1);
        if (!isSafeOrderId(id)) {
            qCritical() << "Refused unsafe order ID (it would name a file outside its folder):" << id;
            return false;
        }
    } else {
        path = orderFilePath(state, id);
    }
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        qCritical() << "Failed to find order " << id;
        return false;
    }

    bool renumbered = false;
    QString oldID;
    if (state != InProgress && state != Import && moveToInProgress) {
        if (uuidPattern().match(id).hasMatch()) {
            oldID = id;
            id = newOrderID();
            renumbered = true;
        }
        const QString inProgress = orderFilePath(InProgress, id);
        if (!moveFile(path, inProgress, true)) {
            qCritical() << "Failed to move order " << id << AppContext::lastFileError;
            return false;
        }
        path = inProgress;
    }

    if (!readOrderFile(path))
        return false;
    set_orderID(id);
    if (renumbered) {
        otid = oldID;
        set_fittingCost(AppContext::setting(QStringLiteral("fit_d"), 0).toDouble());
        set_perItemPrice(AppContext::setting(QStringLiteral("qprc_b"), false).toBool());
        set_sendEmailToCustomer(true);
        appSettings *user = AppContext::userSettings();
        QStringList types = AppContext::setting(QStringLiteral("aptypes_sl")).toStringList();
        if (user && !types.contains(apType())) {
            types.append(apType());
            user->setValue(QStringLiteral("aptypes_sl"), types);
            user->sync();
        }
    }
    return true;
}

bool VexaOrder::deleteOrder(const QString &orderIDArg, VexaOrder::OrderState ostate)
{
    const QString path = orderFilePath(ostate, orderIDArg);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        qCritical() << "Failed to find order in any folder" << orderIDArg;
        return false;
    }
    return removeOrderFile(path);
}

bool VexaOrder::markAsSent(const QString &orderIDArg)
{
    const QString post = orderFilePath(ForPosting, orderIDArg);
    if (post.isEmpty() || !QFileInfo::exists(post)) {
        qCritical() << "posted: order not found" << orderIDArg;
        return false;
    }
    if (!moveFile(post, orderFilePath(Posted, orderIDArg), true)) {
        qCritical() << AppContext::lastFileError;
        return false;
    }
    return true;
}

void VexaOrder::incomingOrderFile(QString path)
{
    qDebug() << "VexaOrder::incomingOrderFile" << path;
    if (path.startsWith(QLatin1String("file:")))
        path = QUrl(path).toLocalFile();
    if (appSettings *user = AppContext::userSettings())
        user->remove(QStringLiteral("imp"));

    const QFileInfo info(path);
    if (!info.exists()) {
        qCritical() << path << "does not exist";
        return;
    }
    if (info.size() < 100) {
        qCritical() << "Invalid import order file, too small" << path;
        return;
    }
    if (info.size() > DownloadBudget::limit(DownloadBudget::Import)) {
        qCritical() << "Refused import: order file larger than" << DownloadBudget::limit(DownloadBudget::Import) << path;
        return;
    }
    const QJsonValue idValue = fileJsonValue(path, QStringLiteral("orderID"));
    const QString id = idValue.isString() ? idValue.toString().trimmed() : QString();
    if (id.isEmpty()) {
        qCritical() << "Failed to read orderID from" << path;
        return;
    }
    if (!isSafeOrderId(id)) {
        // refused before anything is copied: no list or queue could handle it
        qCritical().noquote() << QStringLiteral("Refused import of %1: the order ID \"%2\" cannot be used (%3)")
                                     .arg(path, id, orderIdProblem(id));
        return;
    }
    const QJsonValue addrValue = fileJsonValue(path, QStringLiteral("custAddr"));
    const QString firstLine = (addrValue.isString() ? addrValue.toString() : QString()).section(QLatin1Char('\n'), 0, 0);

    for (int state = Received; state <= ForTransfer; ++state) {
        if (QFileInfo::exists(orderFilePath(state, id))) {
            const QString msg = QStringLiteral("This order for customer: <b>%1</b><br> already exists in your <b>%2</b> list")
                                    .arg(firstLine.toHtmlEscaped(), AppContext::listNames.value(state));
            emit openOrderExist(id, path, state, msg);
            return;
        }
    }

    emit closeOrder();
    const QString inProgress = orderFilePath(InProgress, id);
    QFile source(path);
    if (!source.copy(inProgress)) {
        qCritical() << "Failed to import order " << path << source.errorString();
    } else {
        QFile::setPermissions(inProgress, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                              | QFileDevice::WriteUser | QFileDevice::ReadGroup
                                              | QFileDevice::ReadOther);
    }
    if (loadOrder(id + QLatin1Char(';') + path, Import, false))
        emit openOrder(id);
}

bool VexaOrder::xferOrderTo(const QString &user)
{
    xfrom = AppContext::setting(QStringLiteral("userID_s")).toString();
    xto = userIdForName(user);
    const OrderState target = xto == xfrom ? Received : ForTransfer;
    set_changed(true);
    if (!saveOrder(0))
        return false;
    const QString inProgress = orderFilePath(InProgress, orderID());
    if (QFileInfo::exists(inProgress) && !moveFile(inProgress, orderFilePath(target, orderID()), true)) {
        qCritical() << "xferOrderTo:" << AppContext::lastFileError;
        return false;
    }
    if (appSettings *settings = AppContext::userSettings())
        settings->setValue(QStringLiteral("xfer"), user);
    return true;
}

QString VexaOrder::orderNumber()
{
    appSettings *user = AppContext::userSettings();
    bool ok = false;
    qulonglong number = AppContext::setting(QStringLiteral("ordnum")).toString().trimmed().toULongLong(&ok);
    if (!ok || !user)
        return QString();
    const QString prefix = AppContext::setting(QStringLiteral("ordpre")).toString();
    const QString suffix = AppContext::setting(QStringLiteral("orderpost")).toString();
    QString candidate;
    bool unique = false;
    for (int attempt = 0; attempt < 100 && !unique; ++attempt) {
        candidate = prefix + QString::number(number) + suffix;
        ++number;
        unique = isSafeOrderId(candidate) && !orderFileExists(candidate);
    }
    if (!unique)
        qCritical() << "Cannot create a unique ordernum, at least 100 files already exist with created order nums";
    user->setValue(QStringLiteral("ordnum"), QString::number(number));
    return candidate;
}

QString VexaOrder::newOrderID()
{
    const QString number = orderNumber();
    if (!number.isEmpty())
        return number;
    appSettings *user = AppContext::userSettings();
    const int today = QDate::currentDate().dayOfYear();
    QString id;
    for (int attempt = 0; attempt < 50; ++attempt) {
        int seq;
        if (AppContext::setting(QStringLiteral("doy"), -1).toInt() == today) {
            seq = AppContext::setting(QStringLiteral("orderSeq"), 0).toInt() + 1;
        } else {
            if (user)
                user->setValue(QStringLiteral("doy"), today);
            seq = 1;
        }
        if (user)
            user->setValue(QStringLiteral("orderSeq"), seq);
        id = QStringLiteral("%1-%2%3-%4")
                 .arg(QDate::currentDate().toString(QStringLiteral("yyMMdd")),
                      AppContext::setting(QStringLiteral("device_n"), QString()).toString(),
                      AppContext::setting(QStringLiteral("userID_s"), QStringLiteral("x")).toString(),
                      QString::number(seq));
        if (!orderFileExists(id))
            return id;
    }
    qCritical() << "Cannot create a unique order ID, at least 50 files already exist with created orderIDs";
    return id;
}

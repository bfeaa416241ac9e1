// Creating, clearing and copying orders, rooms and items, unit conversions
// and the customer block.

#include "app/appcontext.h"
#include "business/businesslookup.h"
#include "documents/orderhtml.h"
#include "models/qqmlobjectlistmodel.h"
#include "models/qqmlvariantlistmodel.h"
#include "orders/optiongroup.h"
#include "orders/inches.h"
#include "orders/ordersortfilterproxymodel.h"
#include "orders/vexaorder.h"
#include "orders/vexaorderitem.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {

QString localPath(const QString &path)
{
    return path.startsWith(QLatin1String("file:")) ? QUrl(path).toLocalFile() : path;
}

QString capitaliseWords(const QString &line)
{
    QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &w : words) {
        w = w.toLower();
        w[0] = w.at(0).toUpper();
    }
    return words.join(QLatin1Char(' '));
}

} // namespace

void VexaOrder::newOrder()
{
    clear();
    set_orderID(newOrderID());
    // With a single business account there is nothing to choose.
    const QStringList accounts = businessNames();
    if (accounts.size() == 1) {
        QVariantMap props = properties();
        props.insert(QStringLiteral("AccountName"), accounts.first());
        set_properties(props);
    }
    set_confirmed(true);
}

void VexaOrder::copyOrder()
{
    const QString oldID = orderID();
    set_orderID(newOrderID());
    QString notes = orderNotes();
    if (!notes.isEmpty())
        notes += QLatin1Char('\n');
    set_orderNotes(notes + QStringLiteral("Copy of: %1").arg(oldID));
    set_orderState(InProgress);
    set_date(QDateTime());
    set_sentDate(QDateTime());
    set_changed(true);
    saveOrder(0);
}

int VexaOrder::addBlind(const QString &room)
{
    if (!m_roomsModel->list().contains(room))
        m_roomsModel->append(room);
    VexaOrderItem *previous = m_currentItem;
    auto *item = new VexaOrderItem(this);
    if (previous && AppContext::setting(QStringLiteral("copynewitem_b"), false).toBool()) {
        item->copyChoicesFrom(previous);
        QVariantMap data = item->dataMap();
        data.remove(QStringLiteral("PanelConfig"));
        item->set_dataMap(data);
        const int lattica = m_productCBModel.index(QStringLiteral("Lattica"));
        m_productCBModel.set_currentIndex(lattica < 0 ? 0 : lattica);
    }
    item->set_room(room);
    setRoomItemsModel(room);
    m_orderItemsModel->append(item);
    m_roomItemsModel->append(item);
    m_currentItem = item;
    if (item->bl_product().isEmpty()) {
        // A new shutter starts on the catalogue's own product, so that its
        // supplier, range, colour, options and price are there at once.
        const int lattica = m_productCBModel.index(QStringLiteral("Lattica"));
        productSelected(lattica < 0 ? 0 : lattica);
    } else {
        processOrderItem(true);
    }
    return m_roomItemsModel->count();
}

void VexaOrder::setRoomItemsModel(const QString &room)
{
    if (room == currentRoom())
        return;
    set_currentRoom(room);
    m_roomItemsModel->clear();
    for (VexaOrderItem *item : *m_orderItemsModel) {
        if (item->room() == room)
            m_roomItemsModel->append(item);
    }
    if (!m_roomItemsModel->isEmpty())
        m_currentItem = m_roomItemsModel->getFirst();
}

void VexaOrder::changeRoomName(const QString &origName, const QString &newName)
{
    const QVariantList rooms = m_roomsModel->list();
    const int at = rooms.indexOf(origName);
    if (at < 0 || origName == newName)
        return;
    // Renaming onto another room's name merges the two rooms: the name must
    // then appear once in the room list and the room's items be all of them.
    const bool merge = rooms.contains(newName);
    if (merge)
        m_roomsModel->remove(at);
    else
        m_roomsModel->replace(at, newName);
    for (VexaOrderItem *item : *m_orderItemsModel) {
        if (item->room() == origName)
            item->set_room(newName);
    }
    if (merge) {
        VexaOrderItem *current = m_currentItem;
        set_currentRoom(QString());
        setRoomItemsModel(newName);
        if (current)
            m_currentItem = current;
    } else {
        set_currentRoom(newName);
    }
}

void VexaOrder::setBlind(const QString &room, int blindIndex)
{
    setRoomItemsModel(room);
    VexaOrderItem *item = m_roomItemsModel->get(blindIndex);
    if (!item)
        return;
    m_currentItem = item;
    refreshItemChoices(item);
}

void VexaOrder::removeBlind(const QString &room, int blindIndex)
{
    if (blindIndex < 0 || blindIndex >= m_roomItemsModel->count()) {
        qCritical() << "removeBlind" << room << blindIndex << "does not exist";
        return;
    }
    VexaOrderItem *item = m_roomItemsModel->get(blindIndex);
    m_currentItem = nullptr;
    item->resetSelection(3);
    m_orderItemsModel->remove(item);
    m_roomItemsModel->remove(item);
    if (m_roomItemsModel->isEmpty()) {
        const int at = m_roomsModel->list().indexOf(item->room());
        if (at >= 0)
            m_roomsModel->remove(at);
        set_currentRoom(QString());
    }
    delete item;
}

void VexaOrder::copyToAllInRoom(const QString &room, int blindIndex)
{
    VexaOrderItem *source = m_roomItemsModel->get(blindIndex);
    if (!source || source->room() != room)
        return;
    const QList<VexaOrderItem *> items = m_roomItemsModel->toList();
    for (VexaOrderItem *item : items) {
        if (item == source)
            continue;
        item->copyChoicesFrom(source);
        m_currentItem = item;
        processOrderItem(true);
    }
    m_currentItem = source;
}

void VexaOrder::copyToAllInHouse(const QString &room, int blindIndex)
{
    VexaOrderItem *source = m_roomItemsModel->get(blindIndex);
    if (!source)
        return;
    if (source->room() != room)
        qWarning() << "copyToAllInHouse: room:" << room << " does not equal current=" << source->room();
    const QList<VexaOrderItem *> items = m_orderItemsModel->toList();
    for (VexaOrderItem *item : items) {
        // The source keeps its own groups; copying it onto itself would
        // double every option group.
        item->copyChoicesFrom(source);
        m_currentItem = item;
        processOrderItem(true);
    }
    m_currentItem = source;
}

int VexaOrder::indexInRoom() const
{
    return m_currentItem ? m_roomItemsModel->indexOf(m_currentItem) : -1;
}

void VexaOrder::sortOrdersBy(const QByteArray &roleName)
{
    const int role = m_orderItemsModel->roleForName(roleName);
    m_orderItemsProxyModel->setSortRole(role < 0 ? int(Qt::DisplayRole) : role);
    m_orderItemsProxyModel->invalidate();
    m_orderItemsProxyModel->sort(0, Qt::AscendingOrder);
}

QString VexaOrder::mm2Inches(int mm) const
{
    return inchesText(mm);
}

namespace {
// Millimetres as text; a length outside what an int holds (or not a number)
// is no length at all.
QString wholeMillimetres(double mm)
{
    if (!(mm > -2147483648.0 && mm < 2147483648.0))
        return QString();
    return QString::number(int(mm));
}
} // namespace

QString VexaOrder::inches2mm(const QString &inches) const
{
    if (inches.isEmpty())
        return QString();
    const int slash = inches.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return wholeMillimetres(inches.trimmed().toDouble() * 25.4 + 0.5);
    const QString before = inches.left(slash).trimmed();
    if (before.isEmpty())
        return QString();
    const double numerator = QString(before.back()).toDouble();
    const double whole = before.chopped(1).trimmed().toDouble();
    bool ok = false;
    const double denominator = inches.mid(slash + 1).trimmed().toDouble(&ok);
    // A fraction over nothing has no length.
    if (!ok || denominator == 0)
        return QString();
    return wholeMillimetres((whole + numerator / denominator) * 25.4);
}

void VexaOrder::processAddress(const QString &s)
{
    if (s.isEmpty())
        return;
    QString block = s;
    block.replace(QLatin1String("<br>"), QLatin1String("\n"));
    block.replace(QLatin1Char(','), QLatin1Char('\n'));
    static const QRegularExpression phoneRe(QRegularExpression::anchoredPattern(QStringLiteral("[0-9 ]+")));
    static const QRegularExpression postcodeRe(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Z]{1,2}[0-9][0-9A-Z]? ?[0-9][A-Z]{2}")));
    QString name, postcode, phone, email;
    QStringList address;
    bool haveName = false;
    const QStringList lines = block.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &raw : lines) {
        const QString line = raw.simplified();
        if (line.isEmpty())
            continue;
        if (line.contains(QLatin1Char('@'))) {
            email = email.isEmpty() ? line.toLower() : email + QLatin1Char(',') + line.toLower();
        } else if (phoneRe.match(line).hasMatch()) {
            phone = phone.isEmpty() ? line : phone + QStringLiteral(", ") + line;
        } else if (postcodeRe.match(line.toUpper()).hasMatch()) {
            postcode = line.toUpper();
        } else if (!haveName) {
            name = capitaliseWords(line);
            haveName = true;
        } else {
            address << capitaliseWords(line);
        }
    }
    const QString addr = address.join(QLatin1Char('\n'));
    set_custName(name);
    set_custAddr(addr);
    set_custPcode(postcode);
    set_custAddress(QStringLiteral("%1\n%2\n%3").arg(name, addr, postcode));
    if (!phone.isEmpty())
        set_custPhone(phone);
    if (!email.isEmpty())
        set_custEmail(email);
}

QStringList VexaOrder::dropAddress() const
{
    // The values are typed by people (or arrive in received orders): each is
    // escaped for the markup, and one that holds "|" stays one line.
    const QVariantMap p = properties();
    auto v = [&p](const char *key) { return htmlText(p.value(QLatin1String(key)).toString()); };
    const QStringList values = {
        v("da_name"),
        QStringLiteral("%1 %2").arg(v("da_streetnum"), v("da_street")).trimmed(),
        v("da_buildcomp"),
        v("da_city"),
        v("da_state"),
        v("da_postcode"),
        v("da_country"),
        v("da_phone"),
    };
    QStringList lines;
    for (int i = 0; i < values.size(); ++i) {
        QString line = values.at(i);
        if (i == 0)
            line.prepend(QStringLiteral("<p  style='margin-left: 40px'>"));
        if (i == values.size() - 1)
            line.append(QStringLiteral("</p>"));
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

void VexaOrder::clearAppointment()
{
    set_appointment(QDateTime());
}

void VexaOrder::imageToSignature(QString imagePath)
{
    imagePath = localPath(imagePath);
    QFile f(imagePath);
    if (!f.exists() || !f.open(QIODevice::ReadOnly)) {
        qCritical() << imagePath << "not found";
        return;
    }
    set_signature(QStringLiteral("data:image/png;base64,%1").arg(QString::fromLatin1(f.readAll().toBase64())));
}

#include "business/businessmanager.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "business/businesslookup.h"
#include "models/qqmlobjectlistmodel.h"

#include <QDebug>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSet>
#include <QUuid>
#include <algorithm>

namespace {

const QString kItemsGroup = QStringLiteral("busItems");
const QString kNoUserSettings = QStringLiteral("The settings are not available");

appSettings *user()
{
    return AppContext::userSettings();
}

appSettings *shared()
{
    return AppContext::sharedSettings();
}

// "|" separates the stored fields; inside a field it would shift every later
// one when read back.
QString storable(QString field)
{
    field.replace(QLatin1Char('|'), QLatin1Char('/'));
    return field;
}

QString itemKey(const QString &account, const QString &id)
{
    return kItemsGroup + QLatin1Char('/') + account + QLatin1Char('/') + id;
}

QString displayNameKey(const QString &account, const QString &deliveryName)
{
    return account + QStringLiteral("_m/") + deliveryName;
}

QString storedDisplayName(const QString &account, const QString &deliveryName)
{
    return shared() ? shared()->QSettings::value(displayNameKey(account, deliveryName)).toString() : QString();
}

// The stored entries of an account, in the order of its stored list of
// display names (primary entries first); entries the list does not know
// follow in key order.
QList<BusinessItem *> readAccountItems(const QString &account)
{
    QList<BusinessItem *> items;
    if (!user() || account.isEmpty())
        return items;
    user()->beginGroup(kItemsGroup + QLatin1Char('/') + account);
    const QStringList keys = user()->allKeys();
    for (const QString &key : keys) {
        const QStringList fields = user()->QSettings::value(key).toString().split(QLatin1Char('|'));
        if (fields.size() != 6) {
            qWarning() << "Skipped a malformed delivery address entry" << account << key;
            continue;
        }
        auto *item = new BusinessItem;
        item->ID = key;
        item->set_deliveryName(fields.at(0));
        item->set_name(fields.at(1));
        item->set_address(fields.at(2));
        item->set_postcode(fields.at(3));
        item->set_countryID(fields.at(4));
        item->set_locationID(fields.at(5));
        items << item;
    }
    user()->endGroup();
    for (BusinessItem *item : items)
        item->set_manDeliveryName(storedDisplayName(account, item->deliveryName()));
    const QStringList order = shared() ? shared()->QSettings::value(QStringLiteral("buslist/") + account).toStringList()
                                       : QStringList();
    auto rank = [&order](const BusinessItem *item) {
        const int at = order.indexOf(item->displayName());
        return at < 0 ? order.size() : at;
    };
    std::stable_sort(items.begin(), items.end(),
                     [&rank](const BusinessItem *a, const BusinessItem *b) { return rank(a) < rank(b); });
    return items;
}

void storeEntry(const QString &account, const BusinessItem *item)
{
    if (!user())
        return;
    const QStringList fields = {item->deliveryName(), item->name(),      item->address(),
                                item->postcode(),     item->countryID(), item->locationID()};
    user()->setValue(itemKey(account, item->ID), fields.join(QLatin1Char('|')));
}

// The look-ups other parts make: location ID and display name per delivery
// name, and the account's display names in list order.
QStringList writeLists(const QString &account, const QList<BusinessItem *> &items)
{
    QStringList names;
    for (const BusinessItem *item : items) {
        names << item->displayName();
        if (!shared())
            continue;
        shared()->setValue(account + QLatin1Char('/') + item->deliveryName(), item->locationID());
        shared()->setValue(displayNameKey(account, item->deliveryName()), item->displayName());
    }
    if (shared())
        shared()->setValue(QStringLiteral("buslist/") + account, names);
    return names;
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

BusinessManager::BusinessManager(QObject *parent)
    : QObject(parent)
    , m_items(new QQmlObjectListModel<BusinessItem>(this, "manDeliveryName"))
{
    // The current account's addresses are there to choose from at once;
    // nothing is written until something changes.
    const QString current = AppContext::setting(QStringLiteral("currSuppAccnt")).toString();
    if (isAccountNumber(current)) {
        m_suppAccnt = current;
        loadItems(current);
    }
}

BusinessManager::~BusinessManager()
{
    if (QQmlEngine *engine = qmlEngine(this)) {
        QQmlContext *root = engine->rootContext();
        if (root->contextProperty(QStringLiteral("businessItems")).value<QObject *>() == m_items)
            root->setContextProperty(QStringLiteral("businessItems"), QVariant::fromValue<QObject *>(nullptr));
    }
}

void BusinessManager::classBegin()
{
    if (QQmlEngine *engine = qmlEngine(this))
        engine->rootContext()->setContextProperty(QStringLiteral("businessItems"), m_items);
}

void BusinessManager::loadItems(const QString &accountID)
{
    m_items->clear();
    for (BusinessItem *item : readAccountItems(accountID))
        m_items->append(item);
    QStringList names;
    for (const BusinessItem *item : m_items->toList())
        names << item->displayName();
    set_delAddressList(names);
}

void BusinessManager::saveLists()
{
    set_delAddressList(writeLists(m_suppAccnt, m_items->toList()));
}

void BusinessManager::initController()
{
    if (!AppContext::setting(QStringLiteral("controller"), false).toBool() || !user())
        return;
    m_items->clear();
    user()->beginGroup(kItemsGroup);
    QStringList accounts = user()->childGroups();
    user()->endGroup();
    accounts.erase(std::remove_if(accounts.begin(), accounts.end(),
                                  [](const QString &a) { return !isCAccountNumber(a); }),
                   accounts.end());
    if (shared())
        shared()->setValue(QStringLiteral("suppAccnts_sl"), accounts);
    for (const QString &account : accounts) {
        const QList<BusinessItem *> items = readAccountItems(account);
        writeLists(account, items);
        qDeleteAll(items);
    }
    QString current = AppContext::setting(QStringLiteral("currSuppAccnt")).toString();
    if (!accounts.contains(current))
        current = accounts.value(0);
    if (!current.isEmpty())
        setSuppAccnt(current);
}

void BusinessManager::setSuppAccnt(const QString &accountID)
{
    if (user()) {
        user()->setValue(QStringLiteral("currSuppAccnt"), accountID);
        user()->setValue(QStringLiteral("bus_s"),
                         shared() ? shared()->QSettings::value(QStringLiteral("busNames/") + accountID).toString()
                                  : QString());
    }
    loadItems(accountID);
    const bool changed = m_suppAccnt != accountID;
    m_suppAccnt = accountID;
    saveLists();
    if (changed)
        emit suppAccntChanged(m_suppAccnt);
}

QStringList BusinessManager::busNames() const
{
    return businessNames();
}

QStringList BusinessManager::deliveryNames(const QString &name) const
{
    return deliveryNamesFor(name);
}

bool BusinessManager::updateBusiness(int index, const QString &deliveryName, const QString &name,
                                     const QString &address, const QString &postcode, const QString &countryID,
                                     const QString &locationID, bool isPrimary)
{
    if (deliveryName.isEmpty()) {
        set_error(QStringLiteral("The delivery name must not be empty"));
        return false;
    }
    if (index != -1 && !m_items->get(index)) {
        set_error(QStringLiteral("Internal error: invalid businessIndex"));
        return false;
    }
    if (!isAccountNumber(m_suppAccnt)) {
        set_error(QStringLiteral("Invalid acount number: ") + m_suppAccnt);
        return false;
    }
    BusinessItem *item = index == -1 ? nullptr : m_items->get(index);
    for (const BusinessItem *other : m_items->toList()) {
        if (other != item && !locationID.isEmpty() && other->locationID() == locationID)
            qWarning() << "Duplicate locationID in data:" << locationID;
    }
    if (!item) {
        item = new BusinessItem;
        item->ID = newId();
        item->set_manDeliveryName(storedDisplayName(m_suppAccnt, storable(deliveryName)));
        m_items->append(item);
    } else if (item->deliveryName() != storable(deliveryName) && shared()) {
        // the old name's look-ups go with it
        shared()->remove(m_suppAccnt + QLatin1Char('/') + item->deliveryName());
        shared()->remove(displayNameKey(m_suppAccnt, item->deliveryName()));
    }
    item->set_deliveryName(storable(deliveryName));
    item->set_name(storable(name));
    item->set_address(storable(address));
    item->set_postcode(storable(postcode));
    item->set_countryID(storable(countryID));
    item->set_locationID(storable(locationID));
    if (isPrimary)
        m_items->move(m_items->indexOf(item), 0);
    storeEntry(m_suppAccnt, item);
    saveLists();
    return true;
}

bool BusinessManager::updateDeliveryName(int index, const QString &manDeliveryName)
{
    if (manDeliveryName.trimmed().isEmpty()) {
        set_error(QStringLiteral("You must enter a valid delivery address name"));
        return false;
    }
    BusinessItem *item = m_items->get(index);
    if (!item) {
        set_error(QStringLiteral("Internal error: invalid businessIndex"));
        return false;
    }
    if (shared())
        shared()->setValue(displayNameKey(m_suppAccnt, item->deliveryName()), manDeliveryName);
    item->set_manDeliveryName(manDeliveryName);
    saveLists();
    return true;
}

bool BusinessManager::remove(int index)
{
    BusinessItem *item = m_items->get(index);
    if (!item) {
        set_error(QStringLiteral("Internal error: invalid business Index"));
        return false;
    }
    if (user())
        user()->remove(itemKey(m_suppAccnt, item->ID));
    if (shared()) {
        shared()->remove(displayNameKey(m_suppAccnt, item->deliveryName()));
        shared()->remove(m_suppAccnt + QLatin1Char('/') + item->deliveryName());
    }
    m_items->remove(index);
    saveLists();
    return true;
}

bool BusinessManager::replaceAccountEntries(const QString &accountID, const QVector<BusinessEntry> &entries)
{
    if (!isAccountNumber(accountID)) {
        set_error(QStringLiteral("Invalid acount number: ") + accountID);
        return false;
    }
    for (const BusinessEntry &e : entries) {
        if (e.deliveryName.isEmpty()) {
            set_error(QStringLiteral("The delivery name must not be empty"));
            return false;
        }
    }
    if (!user() || !shared()) {
        set_error(kNoUserSettings);
        return false;
    }
    user()->remove(kItemsGroup + QLatin1Char('/') + accountID);
    shared()->remove(accountID);

    QList<BusinessItem *> items;
    QSet<QString> locations;
    for (int pass = 0; pass < 2; ++pass) {
        for (const BusinessEntry &e : entries) {
            if (e.isPrimary != (pass == 0))
                continue;
            if (!e.locationID.isEmpty() && locations.contains(e.locationID))
                qWarning() << "Duplicate locationID in data:" << e.locationID;
            locations.insert(e.locationID);
            auto *item = new BusinessItem;
            item->ID = newId();
            item->set_deliveryName(storable(e.deliveryName));
            item->set_name(storable(e.name));
            item->set_address(storable(e.address));
            item->set_postcode(storable(e.postcode));
            item->set_countryID(storable(e.countryID));
            item->set_locationID(storable(e.locationID));
            item->set_manDeliveryName(storedDisplayName(accountID, item->deliveryName()));
            storeEntry(accountID, item);
            items << item;
            if (!e.name.isEmpty())
                shared()->setValue(QStringLiteral("busNames/") + accountID, e.name);
        }
    }
    writeLists(accountID, items);
    qDeleteAll(items);
    if (accountID == m_suppAccnt) {
        loadItems(accountID);
        saveLists();
    }
    set_error(QString());
    return true;
}

BusinessItem *BusinessManager::getBusinessItem(int index) const
{
    return m_items->get(index);
}

QObject *BusinessManager::getBusinessItems() const
{
    return m_items;
}

BusinessItem *BusinessManager::getBusinessFromID(const QString &ID) const
{
    const int at = getIndexFromID(ID);
    return at < 0 ? nullptr : m_items->get(at);
}

int BusinessManager::getIndexFromID(const QString &ID) const
{
    const QList<BusinessItem *> &items = m_items->toList();
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i)->ID == ID)
            return i;
    }
    return -1;
}

QString BusinessManager::getIDFromIndex(int index) const
{
    const BusinessItem *item = m_items->get(index);
    return item ? item->ID : QString();
}

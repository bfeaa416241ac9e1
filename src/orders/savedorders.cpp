#include "orders/savedorders.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "models/qqmlobjectlistmodel.h"
#include "orders/fileutils.h"
#include "orders/orderusers.h"
#include "orders/saveditem.h"
#include "orders/vexaorder.h"

#include <QCoreApplication>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QQmlContext>
#include <QRegularExpression>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

void SavdOrderSortFilterProxyModel::setFilterType(int type)
{
    m_filterType = type;
    invalidateFilter();
}

void SavdOrderSortFilterProxyModel::setSearch(const QString &pattern)
{
    m_search = pattern;
    m_pattern = QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
    // Half-typed expressions ("(", "[a") still find the text as typed.
    if (!m_pattern.isValid())
        m_pattern = QRegularExpression(QRegularExpression::escape(pattern), QRegularExpression::CaseInsensitiveOption);
    invalidateFilter();
}

void SavdOrderSortFilterProxyModel::setSourceModel(QAbstractItemModel *model)
{
    m_rows = dynamic_cast<const QQmlObjectListModel<SavedItem> *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

bool SavdOrderSortFilterProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // The rows' display role is their sort date: compared directly, rather
    // than through a property look-up by name and a variant for each side.
    if (m_rows && sortRole() == Qt::DisplayRole && left.column() == 0 && right.column() == 0) {
        const SavedItem *a = m_rows->get(left.row());
        const SavedItem *b = m_rows->get(right.row());
        qint64 ka, kb;
        if (a && b && a->sortKey(&ka) && b->sortKey(&kb))
            return ka < kb;
        if (a && b)
            return a->sortDate() < b->sortDate();
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

bool SavdOrderSortFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    Q_UNUSED(sourceParent)
    const SavedItem *row = m_rows ? m_rows->get(sourceRow) : nullptr;
    if (!row)
        return false;
    if (!m_search.isEmpty()) {
        const bool found = m_pattern.match(row->custAddr()).hasMatch() || m_pattern.match(row->orderID()).hasMatch()
                           || m_pattern.match(row->phone).hasMatch() || m_pattern.match(row->email).hasMatch()
                           || m_pattern.match(row->manOrderID()).hasMatch();
        if (!found)
            return false;
    }
    if (m_filterType == 1)
        return !row->supplierRcpt().isEmpty();
    if (m_filterType == 2)
        return !row->xto.isEmpty();
    return true;
}

SavedOrders::SavedOrders(QObject *parent)
    : QObject(parent)
{
    for (int i = 0; i < ListCount; ++i) {
        m_models[i] = new QQmlObjectListModel<SavedItem>(QCoreApplication::instance(), "sortDate");
        m_proxies[i] = new SavdOrderSortFilterProxyModel(this);
        m_proxies[i]->setSourceModel(m_models[i]);
    }
    m_sortOrder = AppContext::setting(QStringLiteral("srtOrder_b"), false).toBool() ? Qt::AscendingOrder
                                                                                      : Qt::DescendingOrder;
}

SavedOrders::~SavedOrders()
{
    // The list models hang off the application object for the interface's
    // sake; they go with the lists that fill them.
    for (int i = 0; i < ListCount; ++i) {
        delete m_proxies[i];
        delete m_models[i];
    }
}

void SavedOrders::setContextProperties(QQmlContext *context)
{
    context->setContextProperty(QStringLiteral("savedOrders"), this);
    context->setContextProperty(QStringLiteral("usersCBModel"), &m_usersCBModel);
    context->setContextProperty(QStringLiteral("receivedOrdersProxyModel"), m_proxies[ReceivedList]);
    context->setContextProperty(QStringLiteral("inProgressOrdersProxyModel"), m_proxies[InProgressList]);
    context->setContextProperty(QStringLiteral("toPostOrdersModel"), m_models[ToPostList]);
    context->setContextProperty(QStringLiteral("toPostOrdersProxyModel"), m_proxies[ToPostList]);
    context->setContextProperty(QStringLiteral("postedOrdersModel"), m_models[PostedList]);
    context->setContextProperty(QStringLiteral("postedOrdersProxyModel"), m_proxies[PostedList]);
    context->setContextProperty(QStringLiteral("backupOrdersModel"), m_models[BackupList]);
    context->setContextProperty(QStringLiteral("backupOrdersProxyModel"), m_proxies[BackupList]);
}

namespace {

// An open file's modification time in milliseconds since the epoch, from the
// status already read for its size. Qt's own file times come as local times,
// and each conversion asks the C library for the time zone again (a file
// status call of its own): for a list of thousands of files that was the
// largest cost. The row converts when it is shown.
qint64 modifiedMSecs(QFile &f)
{
#ifdef Q_OS_LINUX
    struct stat st;
    if (::fstat(f.handle(), &st) == 0)
        return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
#endif
    return f.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
}

} // namespace

void SavedOrders::loadFolder(List list, int state)
{
    const QString folder = AppContext::stateFolder(state);
    // names only: a QFileInfo per file would be built, and stat'ed again, for nothing
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    QList<SavedItem *> rows;
    rows.reserve(names.size());
    QFile f;
    for (const QString &name : names) {
        const QString path = folder + name;
        f.setFileName(path);
        if (!f.open(QIODevice::ReadOnly)) {
            qCritical() << "Couldn't open order." << path;
            continue;
        }
        if (f.size() > kMaxOrderFileSize) {
            qCritical() << "Order file too large:" << path;
            f.close();
            continue;
        }
        const QJsonDocument doc = parseJsonDocument(f.readAll());
        const qint64 fileTime = modifiedMSecs(f);
        f.close();
        if (!doc.isObject()) {
            qCritical() << "!Invalid file, getSavedItems() loadDoc" << path;
            continue;
        }
        const QJsonObject obj = doc.object();
        if (isSaveLeftover(name, obj)) {
            qWarning() << "Skipped the leftover of an interrupted save" << path;
            continue;
        }
        rows.append(new SavedItem(name, state, obj, fileTime));
    }
    m_models[list]->append(rows);
}

void SavedOrders::sortList(List list)
{
    m_proxies[list]->sort(0, m_sortOrder);
}

void SavedOrders::reload(List list)
{
    m_models[list]->clear();
    switch (list) {
    case ReceivedList: loadFolder(list, VexaOrder::Received); break;
    case InProgressList: loadFolder(list, VexaOrder::InProgress); break;
    case ToPostList:
        loadFolder(list, VexaOrder::ForPosting);
        loadFolder(list, VexaOrder::ForTransfer);
        break;
    case PostedList: loadFolder(list, VexaOrder::Posted); break;
    case BackupList: loadFolder(list, VexaOrder::Backup); break;
    case ListCount: break;
    }
    sortList(list);
}

int SavedOrders::keepSentDays()
{
    bool ok = false;
    const int days = AppContext::sharedSettings()
                         ? AppContext::sharedSettings()->value(QStringLiteral("d2r_i"), KeepSentDefault).toInt(&ok)
                         : KeepSentDefault;
    if (!ok && AppContext::sharedSettings())
        return KeepSentDefault;
    return qBound(int(KeepSentMin), days, int(KeepSentMax));
}

void SavedOrders::purgeFolder(const QString &folder, int days)
{
    days = qMax(days, 3);
    const QDate today = QDate::currentDate();
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &info : files) {
        if (info.lastModified().date().addDays(days) < today) {
            qDebug() << "delete " << info.fileName();
            QFile::remove(info.absoluteFilePath());
        }
    }
}

void SavedOrders::getReceived()
{
    reload(ReceivedList);
}

void SavedOrders::getInProgress()
{
    reload(InProgressList);
}

void SavedOrders::getToPost()
{
    reload(ToPostList);
}

void SavedOrders::getPosted()
{
    purgeFolder(AppContext::stateFolder(VexaOrder::Posted), keepSentDays());
    reload(PostedList);
}

void SavedOrders::getBackup()
{
    purgeFolder(AppContext::stateFolder(VexaOrder::Backup), AppContext::setting(QStringLiteral("d2rb_i"), 40).toInt());
    reload(BackupList);
}

bool SavedOrders::deleteOrder(const QString &orderID)
{
    QString path;
    if (isSafeOrderId(orderID)) {
        for (int state : {VexaOrder::InProgress, VexaOrder::ForPosting, VexaOrder::Posted, VexaOrder::ForTransfer}) {
            const QString candidate = orderFilePath(state, orderID);
            if (QFileInfo::exists(candidate)) {
                path = candidate;
                break;
            }
        }
    } else {
        orderFilePath(VexaOrder::InProgress, orderID); // logs the refusal
    }
    if (path.isEmpty()) {
        qCritical() << "Failed to find order in any folder" << orderID;
        return false;
    }
    return removeOrderFile(path);
}

void SavedOrders::setUserList()
{
    QStringList users = AppContext::setting(QStringLiteral("users")).toStringList();
    if (users.isEmpty())
        users << QString();
    m_usersCBModel.setComboList(users);
}

void SavedOrders::sortLists(bool ascending)
{
    m_sortOrder = ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
    for (List list : {ReceivedList, InProgressList, ToPostList, PostedList})
        sortList(list);
}

void SavedOrders::search(const QString &filter)
{
    for (int i = 0; i < ListCount; ++i)
        m_proxies[i]->setSearch(filter);
    for (List list : {ReceivedList, InProgressList, ToPostList, PostedList})
        sortList(list);
}

void SavedOrders::postedFilter(int filterType)
{
    m_proxies[PostedList]->setFilterType(filterType);
}

QString SavedOrders::durationText(int minutes)
{
    if (minutes <= 0)
        return QString();
    if (minutes < 60)
        return QStringLiteral("%1 mins").arg(minutes);
    const int h = minutes / 60;
    const int m = minutes % 60;
    if (m == 30)
        return QStringLiteral("%1.5 hrs").arg(h);
    const QString unit = h == 1 ? QStringLiteral(" hour") : QStringLiteral(" hrs");
    if (m == 0)
        return QString::number(h) + unit;
    return QString::number(h) + unit + QLatin1Char(' ') + QString::number(m) + QStringLiteral(" mins");
}

QString SavedOrders::infoText(const QString &orderID, int orderState)
{
    if (orderState < 0 || orderState >= AppContext::stateFolders.size()) {
        qCritical() << "Invalid orderState. " << orderState;
        return QString();
    }
    const QString path = orderFilePath(orderState, orderID);
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        qCritical() << "Couldn't open order." << path;
        return QString();
    }
    const QJsonDocument doc = parseJsonDocument(f.readAll());
    if (!doc.isObject()) {
        qDebug() << "!Invalid file, infoText() loadDoc.isNull" << path;
        return QString();
    }
    const QJsonObject obj = doc.object();
    auto text = [&obj](const char *key) {
        const QJsonValue v = obj.value(QLatin1String(key));
        return v.isString() ? v.toString() : QString();
    };
    const QJsonValue confirmValue = obj.value(QLatin1String("confirm"));
    const bool confirmed = confirmValue.isBool() && confirmValue.toBool();
    const QDateTime appointment = QDateTime::fromString(text("apmnt"), Qt::ISODateWithMs);
    const QJsonValue minsValue = obj.value(QLatin1String("apmins"));
    const int apmins = minsValue.isDouble() ? minsValue.toInt() : 0;
    const QString apType = text("apType");
    const QString address = text("custAddr").replace(QLatin1Char('\n'), QLatin1String("<br>"));
    const QString phone = text("custPhone");
    const QString email = text("custEmail");
    const QString xfrom = text("xfrom");
    const QString xto = text("xto");
    const QString receipt = text("supplierRcpt");
    const QString reference = text("manOrderID").isEmpty() ? orderID : text("manOrderID");
    const QString notes = text("orderNotes");

    static const QRegularExpression uuid(QStringLiteral("[0-9a-f]{8}[-]?([0-9a-f]{4}[-]?){3}[0-9a-f]{12}"));
    QString html;
    if (!uuid.match(orderID).hasMatch()) {
        if (!receipt.isEmpty())
            html = QStringLiteral("<h6>%1 <font color=\"teal\" >%2 Order</font></h6><font color=\"#404142\" size=\"3\">")
                       .arg(reference, QStringLiteral("Supplier"));
        else if (!xfrom.isEmpty())
            html = QStringLiteral("<h6>%1 <font color=\"black\" >%2 Order</font></h6><font color=\"#404142\" size=\"3\">")
                       .arg(reference, QStringLiteral("Transferred"));
        else if (confirmed)
            html = QStringLiteral("<h6>%1 <font color=\"blue\" >Confirmed Order</font></h6><font color=\"#404142\" size=\"3\">")
                       .arg(orderID);
        else
            html = QStringLiteral("<h6>%1</h6><font color=\"#404142\" size=\"3\">").arg(orderID);
    }
    if (appointment.isValid()) {
        html += QStringLiteral("<h5><u>%1 Appointment</u></h5>%2")
                    .arg(apType, appointment.toString(QStringLiteral("ddd d MMM h:mm")));
        if (apmins > 0)
            html += QStringLiteral(" [%1]<br>").arg(durationText(apmins));
    }
    if (orderState < VexaOrder::ForPosting) {
        if (!xfrom.isEmpty())
            html += QStringLiteral("From: %1").arg(userNameForId(xfrom));
    } else if (!xto.isEmpty()) {
        html += QStringLiteral("<br>To: %1").arg(userNameForId(xto));
    }
    html += QStringLiteral("<h5><u>Customer</u></h5>%1").arg(address);
    if (!phone.isEmpty())
        html += QStringLiteral("<br>%1").arg(phone);
    if (!email.isEmpty())
        html += QStringLiteral("<br>%1").arg(email);
    if (!notes.isEmpty())
        html += QStringLiteral("<h5><u>Notes</u></h5>") + QString(notes).replace(QLatin1Char('\n'), QLatin1String("<br>"));
    html += QStringLiteral("</font>");
    return html;
}

#include "staffmanager.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"
#include "cloud/qamazonconnection.h"

#include <QDate>
#include <QDebug>
#include <QNetworkReply>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <algorithm>

const char *StaffManager::kCodeLetters = "ABCDEFGHKMNPQRSTWXYZ";

namespace {

appSettings *shared()
{
    return AppContext::sharedSettings();
}

// A code made moments ago by another business may already name an object;
// after this many taken codes in a row something else is wrong.
const int kMaxDraws = 20;

} // namespace

StaffManager::StaffManager(QObject *parent)
    : QObject(parent)
    , m_items(nullptr, QByteArray(), QByteArrayLiteral("staffID"))
    , m_draw([](quint32 bound) { return QRandomGenerator::system()->bounded(bound); })
{
    load();
}

StaffManager::~StaffManager()
{
    if (m_engine) {
        QQmlContext *root = m_engine->rootContext();
        if (root->contextProperty(QStringLiteral("staffItems")).value<QObject *>() == &m_items)
            root->setContextProperty(QStringLiteral("staffItems"), nullptr);
    }
    if (m_comms)
        m_comms->staff = CloudComms::StaffHooks();
}

void StaffManager::classBegin()
{
    // a component's own context takes no new names: publish on the engine's
    m_engine = qmlEngine(this);
    if (m_engine)
        m_engine->rootContext()->setContextProperty(QStringLiteral("staffItems"), &m_items);
}

void StaffManager::connectTo(CloudComms *comms)
{
    m_comms = comms;
    comms->staff.refreshStaffList = [this] {
        load();
        saveAllStaff();
    };
    comms->staff.addStaff = [this](const QString &shortName, const QString &fullName) {
        return updateStaff(-1, QString(), shortName, fullName);
    };
    // the settings screen keeps a list of its own: read the stored one afresh
    comms->staff.fullNameFromShortName = [this](const QString &shortName) {
        load();
        return fullNameFromShortName(shortName);
    };
}

void StaffManager::load()
{
    m_items.clear();
    appSettings *s = shared();
    if (s) {
        s->beginGroup(QStringLiteral("staff"));
        QStringList keys = s->childKeys();
        s->endGroup();
        std::sort(keys.begin(), keys.end(),
                  [](const QString &a, const QString &b) { return a.toLongLong() < b.toLongLong(); });
        for (const QString &key : keys) {
            const QVariant stored = s->QSettings::value(QStringLiteral("staff/") + key);
            // A stored text with commas reads back as a list.
            const QString value = stored.type() == QVariant::StringList ? stored.toStringList().join(QLatin1Char(','))
                                                                          : stored.toString();
            bool numeric = false;
            key.toLongLong(&numeric);
            const QStringList f = value.split(QLatin1Char(':'));
            if (!numeric || f.value(0).trimmed().isEmpty()) {
                qWarning() << "fault in staff entries" << key << value;
                continue;
            }
            m_items.append(new StaffItem(key, f.value(0), f.value(1), f.value(2), f.value(3)));
        }
    }
    emitLists();
}

void StaffManager::emitLists()
{
    emit staffListChanged(staffList());
    emit staffIDListChanged(staffIDList());
}

void StaffManager::setAllTeams(const QStringList &teams)
{
    if (m_allTeams == teams)
        return;
    m_allTeams = teams;
    emit allTeamsChanged(teams);
}

void StaffManager::setError(const QString &error)
{
    if (m_error == error)
        return;
    m_error = error;
    emit errorChanged(error);
}

bool StaffManager::fail(const QString &message)
{
    setError(message);
    return false;
}

QStringList StaffManager::staffList() const
{
    QStringList out;
    for (StaffItem *item : m_items)
        out << item->shortName();
    return out;
}

QStringList StaffManager::staffIDList() const
{
    QStringList out;
    for (StaffItem *item : m_items)
        out << item->staffID();
    return out;
}

StaffItem *StaffManager::getStaffItem(int index) const
{
    return m_items.at(index);
}

QString StaffManager::nameFromID(const QString &staffID) const
{
    for (StaffItem *item : m_items)
        if (item->staffID() == staffID)
            return item->shortName();
    return QString();
}

QString StaffManager::fullNameFromShortName(const QString &shortName) const
{
    for (StaffItem *item : m_items)
        if (item->shortName() == shortName)
            return item->fullName();
    return QString();
}

// The separators of the stored entry (":"), of the code object (",") and of
// paths (order IDs carry the short name) cannot be part of a name.
QString StaffManager::validName(const QString &what, const QString &name)
{
    static const QString forbidden = QStringLiteral(":,/\\");
    for (const QChar c : forbidden)
        if (name.contains(c))
            return QStringLiteral("The %1 must not contain any of : , / \\").arg(what);
    return QString();
}

qint64 StaffManager::nextStaffID() const
{
    qint64 highest = shared() ? shared()->value(QStringLiteral("maxID_s"), 0).toLongLong() : 0;
    for (StaffItem *item : m_items)
        highest = std::max(highest, item->staffID().toLongLong());
    return highest + 1;
}

bool StaffManager::updateStaff(int staffIndex, const QString &staffID, const QString &shortNameIn,
                               const QString &fullNameIn)
{
    Q_UNUSED(staffID)
    const QString shortName = shortNameIn.simplified();
    const QString fullName = fullNameIn.trimmed();
    if (shortName.isEmpty())
        return fail(QStringLiteral("The short name must not be empty"));
    for (const auto &check : {qMakePair(QStringLiteral("short name"), shortName),
                              qMakePair(QStringLiteral("full name"), fullName)}) {
        const QString message = validName(check.first, check.second);
        if (!message.isEmpty())
            return fail(message);
    }
    for (int i = 0; i < m_items.size(); ++i) {
        if (i == staffIndex)
            continue;
        StaffItem *other = m_items.at(i);
        if (other->shortName().compare(shortName, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("The short name ") + shortName + QStringLiteral(" already exists"));
        if (!fullName.isEmpty() && other->fullName().compare(fullName, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("The full name ") + fullName + QStringLiteral(" already exists"));
    }
    if (staffIndex == -1) {
        const QString id = QString::number(nextStaffID());
        if (shared())
            shared()->setValue(QStringLiteral("maxID_s"), id);
        m_items.append(new StaffItem(id, shortName, fullName));
    } else if (staffIndex < 0 || staffIndex >= m_items.size()) {
        return fail(QStringLiteral("Internal error: invalid staffIndex"));
    } else {
        StaffItem *item = m_items.at(staffIndex);
        item->set_shortName(shortName);
        item->set_fullName(fullName);
    }
    setError(QString());
    // The lists of names and IDs follow every change, so that orders and
    // transfer targets use the new name at once.
    saveAllStaff();
    return true;
}

void StaffManager::saveStaff(StaffItem *staffItem)
{
    if (staffItem && shared())
        shared()->setValue(QStringLiteral("staff/") + staffItem->staffID(), staffItem->entry());
}

void StaffManager::saveAllStaff()
{
    for (StaffItem *item : m_items)
        saveStaff(item);
    if (shared())
        shared()->sync();
    if (appSettings *user = AppContext::userSettings()) {
        user->setValue(QStringLiteral("uidList"), staffIDList());
        user->setValue(QStringLiteral("users"), staffList());
        user->sync();
    }
    emitLists();
}

bool StaffManager::removeStaff(int staffIndex, const QString &staffID)
{
    if (staffIndex < 0 || staffIndex >= m_items.size())
        return fail(QStringLiteral("Internal error: invalid staffIndex"));
    if (m_items.at(staffIndex)->staffID() != staffID)
        return fail(QStringLiteral("Internal error: invalid staffID"));
    if (shared())
        shared()->remove(QStringLiteral("staff/") + staffID);
    m_items.remove(staffIndex);
    setError(QString());
    saveAllStaff();
    return true;
}

QString StaffManager::drawCode() const
{
    const QChar letter = QLatin1Char(kCodeLetters[m_draw(20)]);
    return letter + QString::number(1000 + m_draw(8999));
}

QString StaffManager::staffConnectCode(int staffIndex)
{
    if (staffIndex < 0 || staffIndex >= m_items.size()) {
        qWarning() << "staffConnectCode invalid staffIndex" << staffIndex;
        return QString();
    }
    if (staffIndex == 0)
        return QStringLiteral("Failed: the administrator does not sign in with an access code");
    StaffItem *item = m_items.at(staffIndex);
    // the code object names the account to sign in to
    const QString email = AppContext::setting(QStringLiteral("regem_s")).toString().trimmed();
    if (email.isEmpty())
        return QStringLiteral("Failed to send access code:\n%1").arg(QStringLiteral("this device has no account"));

    if (!m_conn) {
        QString message;
        m_conn = createCloudConnection(CloudCredentials::controllerBlock(), &message, nullptr, this);
        if (!m_conn)
            return QStringLiteral("Failed to send access code:\n%1").arg(message);
    }
    // A code already published (by any business, today) would be
    // overwritten and sign its surveyor in to the wrong account: draw again.
    QString code;
    for (int attempt = 0; attempt < kMaxDraws && code.isEmpty(); ++attempt) {
        const QString candidate = drawCode();
        m_conn->lastErrorCode = 0;
        const QDateTime taken = m_conn->getLastModified(CloudComms::kCodesBucket, candidate.toLatin1());
        if (taken.isValid())
            continue;
        if (m_conn->lastErrorCode != QNetworkReply::ContentNotFoundError)
            return QStringLiteral("Failed to send access code:\n%1").arg(m_conn->lastError);
        code = candidate;
    }
    if (code.isEmpty())
        return QStringLiteral("Failed to send access code:\n%1").arg(QStringLiteral("no free code was found"));

    item->set_accessCode(code);
    item->set_jday(QString::number(QDate::currentDate().toJulianDay()));
    const QByteArray body = QStringLiteral("%1,%2,%3").arg(item->staffID(), item->shortName(), email).toUtf8();
    QNetworkReply *reply = m_conn->putFile(code, QLatin1String(CloudComms::kCodesBucket), body, false);
    if (reply->error() != QNetworkReply::NoError)
        return QStringLiteral("Failed to send access code:\n%1")
            .arg(QAmazonConnection::replyErrorText(reply));
    saveStaff(item);
    if (shared())
        shared()->sync();
    return QStringLiteral("Access code <b>%1</b> will allow <b>%2</b><br> to use %3 as a Surveyor.<br>This code "
                          "expires after one day.<p>")
        .arg(code, item->shortName().toHtmlEscaped(), AppContext::productName);
}

#include "cloudcomms.h"
#include "uploadfile.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/textcipher.h"
#include "business/businessconfig.h"
#include "business/businesskeys.h"
#include "cloud/cloudcredentials.h"
#include "cloud/cloudreply.h"
#include "cloud/downloadbudget.h"
#include "cloud/mailsender.h"
#include "cloud/qamazonconnection.h"
#include "pricing/csvtable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <cctype>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/unzip.h>

#ifndef LTA_MAILCHK_KEY
#define LTA_MAILCHK_KEY ""
#endif

const char *CloudComms::kBucket = "lattica";
const char *CloudComms::kCodesBucket = "vexatimecodes";

namespace {

const QString kNotFound = QStringLiteral("Failed to find your account");
const char *kSupportEmail = "support@lattica.app";
const char *kAccountsSender = "Lattica Accounts <accounts@mg.lattica.app>";
const char *kNoReplyAddress = "no-reply@mg.lattica.app";

// Installation settings a wiped account leaves in place: where the data
// folder is, which services to reach and with which credentials. Losing
// "datapath" would hide every order the user has.
const QStringList &installationKeys()
{
    static const QStringList keys = {
        QStringLiteral("datapath"),         QStringLiteral("storageScheme_s"), QStringLiteral("storageHost_s"),
        QStringLiteral("storagePort_i"),    QStringLiteral("storagePathStyle_b"),
        QStringLiteral("credblock_s"),      QStringLiteral("allweddi"),        QStringLiteral("ltaurl"),
        QStringLiteral("inetProbeUrl_s"),   QStringLiteral("supportemail"),    QStringLiteral("mailchkKey"),
        QStringLiteral("ediFtpPort_i"),     QStringLiteral("ediHttpsPort_i"),  QStringLiteral("transferTimeout_i"),
        QStringLiteral("installCmd_s"),     QStringLiteral("mailChkUrl_s"),    QStringLiteral("mgValidateUrl_s"),
        QStringLiteral("mgValidateKey_s"),  QStringLiteral("installurl"),
    };
    return keys;
}

appSettings *user()
{
    return AppContext::userSettings();
}

appSettings *shared()
{
    return AppContext::sharedSettings();
}

QVariant setting(const QString &key, const QVariant &def = QVariant())
{
    return AppContext::setting(key, def);
}

void setSetting(const QString &key, const QVariant &value)
{
    if (user())
        user()->setValue(key, value);
}

void removeSetting(const QString &key)
{
    if (user())
        user()->remove(key);
}

QVariant sharedValue(const QString &key)
{
    return shared() ? shared()->value(key) : QVariant(QString());
}

QStringList sharedList(const QString &key)
{
    QStringList list = sharedValue(key).toStringList();
    list.removeAll(QString());
    return list;
}

QString productName()
{
    return AppContext::productName;
}

QString supportEmail()
{
    const QString configured = setting(QStringLiteral("supportemail")).toString().trimmed();
    return configured.isEmpty() ? QString::fromLatin1(kSupportEmail) : configured;
}

bool removeTree(const QString &path)
{
    QDir dir(path);
    return !dir.exists() || dir.removeRecursively();
}

} // namespace

CloudComms::CloudComms(VexaOrder *order, QObject *parent)
    : QObject(parent)
    , m_order(order)
{
    connect(this, &CloudComms::orderPosted, this, &CloudComms::_postNextOrder, Qt::QueuedConnection);
    fetchTransfers = [this] { getTransfers(); };
    // The business configuration is read now and after every configuration
    // download that brought new files.
    loadBusinessConfig();
    connect(this, &CloudComms::businessConfigUpdated, this, [] { loadBusinessConfig(); });

    CloudCredentials creds;
    m_credentialMessage = creds.decipher(CloudCredentials::controllerBlock());
    if (!m_credentialMessage.isEmpty()) {
        // No keys, no connection: every storage operation reports this.
        m_lastMessage = m_credentialMessage;
        qDebug().noquote() << m_lastMessage;
        return;
    }
    m_storageKeyId = creds.storageKeyId;
    m_storageSecret = creds.storageSecret;
    m_mailCredential = creds.mailCredential;

    m_mailCheckKey = QStringLiteral(LTA_MAILCHK_KEY);
    const QByteArray stored = setting(QStringLiteral("mailchkKey")).toByteArray();
    if (!stored.isEmpty()) {
        QByteArray plain;
        if (decryptText(stored, &plain))
            m_mailCheckKey = QString::fromLatin1(plain);
    }
    m_regEmail = setting(QStringLiteral("regem_s")).toString();
    m_conn = new QAmazonConnection(m_storageKeyId, m_storageSecret, this);
}

CloudComms::~CloudComms() = default;

QString CloudComms::supportAddress()
{
    return supportEmail();
}

bool CloudComms::haveConnection()
{
    if (m_conn)
        return true;
    m_lastMessage = m_credentialMessage;
    return false;
}

// ---------------------------------------------------------------------------
// Shared helpers

QNetworkReply *CloudComms::getUserFile(const QString &name, const QByteArray &ifModifiedSince)
{
    return m_conn->getFileIfModifiedSince(kBucket, m_regEmail.toUtf8() + '/' + name.toUtf8(), ifModifiedSince);
}

bool CloudComms::checkReply(QNetworkReply *reply, bool requireData)
{
    return checkCloudReply(reply, requireData, &m_lastMessage);
}

bool CloudComms::putAndCheck(const QByteArray &data, const QString &key, const QString &bucket)
{
    if (!haveConnection())
        return false;
    // Parts of the key may come from data (a transfer's recipient): checked
    // like a listed name, so nothing lands outside the account's folder.
    if (!QAmazonConnection::isSafeKey(key) || key.endsWith(QLatin1Char('/'))) {
        qCritical() << "Refused to store under an unsafe name" << key.left(200);
        m_lastMessage = QStringLiteral("Refused to store a file under an unsafe name");
        return false;
    }
    QNetworkReply *reply = m_conn->putFile(key, bucket, data, false);
    if (reply->error() == QNetworkReply::NoError)
        return true;
    return checkReply(reply, true);
}

bool CloudComms::storePassword(const QString &email, const QString &passwd)
{
    if (!haveConnection())
        return false;
    TextCipher cipher(kSecurityKey);
    cipher.setProtectionMode(TextCipher::ProtectionHash);
    const QByteArray record = cipher.encipher(passwd.toLocal8Bit()).toBase64();
    QNetworkReply *reply = m_conn->putFile(email + QStringLiteral("/enc"), QLatin1String(kBucket), record, false);
    return checkReply(reply, false);
}

bool CloudComms::sendMail(const QString &to, const QString &replyTo, const QString &from,
                          const QString &subject, const QString &body, const QStringList &attachments,
                          const QString &cc)
{
    MailSender sender(m_mailCredential);
    if (sender.sendMail(to, replyTo, from, subject, body, attachments, cc))
        return true;
    m_lastMessage = sender.lastMessage();
    return false;
}

void CloudComms::syncSettings()
{
    if (user())
        user()->sync();
    if (shared())
        shared()->sync();
}

void CloudComms::clearUserSettings()
{
    appSettings *u = user();
    if (!u)
        return;
    QVariantMap kept;
    for (const QString &key : installationKeys())
        if (u->contains(key))
            kept.insert(key, u->QSettings::value(key));
    u->clear();
    for (auto it = kept.cbegin(); it != kept.cend(); ++it)
        u->setValue(it.key(), it.value());
}

void CloudComms::clearSharedSettings()
{
    if (shared())
        shared()->clear();
}

void CloudComms::reloadSharedSettings(const QString &path)
{
    appSettings *s = shared();
    if (!s)
        return;
    // Take the downloaded file's values into the store the interface
    // already holds, instead of swapping the store. Read everything first:
    // both objects share one cached copy of the file.
    // The account's copy may have been written by anyone holding the
    // storage key: business keys and groups only.
    QVariantMap values;
    {
        QSettings fresh(path, QSettings::IniFormat);
        const QStringList keys = fresh.allKeys();
        for (const QString &key : keys) {
            const QString canonical = BusinessKeys::sharedKey(key);
            if (canonical != key || !BusinessKeys::acceptableValue(key, fresh.value(key))) {
                qWarning() << "lta.ini may not set" << key.left(100);
                continue;
            }
            values.insert(key, fresh.value(key));
        }
    }
    s->clear();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        s->setValue(it.key(), it.value());
    s->sync();
}

QString CloudComms::staffFullName(const QString &shortName) const
{
    return staff.fullNameFromShortName ? staff.fullNameFromShortName(shortName) : QString();
}

void CloudComms::finishRegistration()
{
    setSetting(QStringLiteral("regem_s"), m_regEmail);
    setSetting(QStringLiteral("list2lbl_s"), QStringLiteral("Delivery Address"));
    if (staff.refreshStaffList)
        staff.refreshStaffList();
    syncSettings();
}

// ---------------------------------------------------------------------------
// Accounts

QString CloudComms::registerAtLTA(const QString &email, const QString &customerNum, const QString &passwd,
                                  bool loginCurrent, bool vexaUser)
{
    Q_UNUSED(vexaUser)
    setSetting(QStringLiteral("controller"), true);
    const QString result = accountRoutine(email, customerNum, passwd, loginCurrent);
    const bool ok = loginCurrent ? result.isEmpty() : result.startsWith(QLatin1String("Company "));
    if (ok) {
        if (staff.refreshStaffList)
            staff.refreshStaffList();
        if (!loginCurrent && staff.addStaff)
            staff.addStaff(QStringLiteral("Admin"), QStringLiteral("Administrator"));
        setSetting(QStringLiteral("userID_s"), QStringLiteral("Admin"));
        setSetting(QStringLiteral("userName_s"), staffFullName(QStringLiteral("Admin")));
    } else {
        // The registration screen starts again from a clean slate.
        clearUserSettings();
        m_regEmail.clear();
    }
    return result;
}

QString CloudComms::accountRoutine(const QString &email, const QString &customerNum, const QString &passwd,
                                   bool loginCurrent)
{
    m_regEmail = email.toLower().trimmed();
    if (!haveConnection())
        return m_lastMessage;

    if (!loginCurrent) {
        QNetworkReply *reply = getUserFile(QStringLiteral("enc"));
        const bool found = checkReply(reply, true);
        if (found || reply->error() == QNetworkReply::NoError)
            return QStringLiteral("This %1 email/account already exists").arg(productName());
        if (reply->error() != QNetworkReply::ContentNotFoundError) {
            qInfo() << "Failed to get" << "enc" << m_lastMessage;
            return m_lastMessage;
        }
    } else {
        const QString check = checkPwd(m_regEmail, passwd);
        if (!check.isEmpty())
            return check;
    }

    m_lastMessage.clear();
    checkFor_cfgUpdates(true);
    if (!m_lastMessage.isEmpty())
        return m_lastMessage;

    if (!loginCurrent) {
        static const QRegularExpression customer(QStringLiteral("^C\\d{6,6}$|^M\\d{7,7}$"));
        if (!customer.match(customerNum).hasMatch())
            return QStringLiteral("Invalid Customer Number");
        if (shared())
            shared()->setValue(QStringLiteral("suppAccnts_sl"), QStringList{customerNum});
        if (business.fetchAccountAddresses) {
            const QString error = business.fetchAccountAddresses(customerNum);
            if (!error.isEmpty())
                return error;
        }
        const QString name = sharedValue(QStringLiteral("busNames/") + customerNum).toString();
        if (!name.isEmpty())
            return QStringLiteral("Company Name:<br>") + name.toHtmlEscaped();
        finishRegistration();
        // Without a business behind the number the registration cannot go
        // on; say so rather than hand back an empty (successful) text.
        if (m_lastMessage.isEmpty())
            m_lastMessage = QStringLiteral("No business was found for customer number %1").arg(customerNum);
        return m_lastMessage;
    }

    // Sign-in: the account's shared settings, then the next device number.
    // An account whose settings were never uploaded still signs in.
    const QString ltaIni = AppContext::sharedSettingsFolder + QStringLiteral("/lta.ini");
    if (downloadToFile(ltaIni, m_regEmail + QStringLiteral("/st/lta.ini")) == 0)
        reloadSharedSettings(ltaIni);
    else
        m_lastMessage.clear();

    QNetworkReply *reply = getUserFile(QStringLiteral("nxtdev"));
    if (!checkReply(reply, true))
        return QStringLiteral("Failed to get the next device ID from the cloud");
    const int n = QString::fromLatin1(reply->readAll()).trimmed().toInt();
    QNetworkReply *put = m_conn->putFile(m_regEmail + QStringLiteral("/nxtdev"), QLatin1String(kBucket),
                                         QByteArray::number(n + 1), false);
    if (put->error() != QNetworkReply::NoError && !checkReply(put, true))
        return QStringLiteral("Failed to set the next device ID in the cloud");
    setSetting(QStringLiteral("device_n"), n + 1);
    if (setting(QStringLiteral("controller"), false).toBool() && business.fetchAccountAddresses) {
        for (const QString &account : sharedList(QStringLiteral("suppAccnts_sl")))
            business.fetchAccountAddresses(account);
    }
    finishRegistration();
    return m_lastMessage;
}

QString CloudComms::confirmedBusiness(const QString &email, const QString &customerNum, const QString &passwd)
{
    m_regEmail = email.toLower().trimmed();
    m_lastMessage.clear();
    if (!haveConnection())
        return m_lastMessage;
    QNetworkReply *reply = m_conn->putFile(m_regEmail + QStringLiteral("/nxtdev"), QLatin1String(kBucket), "1", false);
    if (reply->error() == QNetworkReply::NoError || checkReply(reply, true))
        setSetting(QStringLiteral("device_n"), 1);
    if (storePassword(m_regEmail, passwd)) {
        downloadUniversalSettings();
        finishRegistration();
        const QString text = QStringLiteral("Account: %1 : %2<p>Email: %3")
                                 .arg(customerNum.toHtmlEscaped(), setting(QStringLiteral("bus_s")).toString().toHtmlEscaped(),
                                      m_regEmail.toHtmlEscaped());
        sendMail(supportEmail(), QString(), QString::fromLatin1(kAccountsSender),
                 QStringLiteral("New %1 account: ").arg(productName()), text);
    }
    return m_lastMessage;
}

QString CloudComms::checkPwd(const QString &email, const QString &passwd)
{
    m_regEmail = email;
    if (!haveConnection())
        return m_lastMessage;
    QNetworkReply *reply = getUserFile(QStringLiteral("enc"));
    if (reply->error() != QNetworkReply::NoError) {
        checkReply(reply, true);
        if (m_lastMessage.contains(kNotFound))
            m_lastMessage = QStringLiteral("There is no %1 account for %2").arg(productName(), email);
        return m_lastMessage;
    }
    QByteArray plain;
    decryptText(QByteArray::fromBase64(reply->readAll()), &plain);
    if (plain.isEmpty()) {
        m_lastMessage = QStringLiteral("Your account is disabled.\nContact: ") + supportEmail();
        return m_lastMessage;
    }
    if (!passwd.isEmpty() && passwd.toLocal8Bit() != plain) {
        m_lastMessage = QStringLiteral("Incorrect password");
        return m_lastMessage;
    }
    setSetting(QStringLiteral("pwrst"), QDateTime::currentMSecsSinceEpoch());
    return QString();
}

QString CloudComms::registerStaff(const QString &code)
{
    removeSetting(QStringLiteral("controller"));
    removeSetting(QStringLiteral("oStaffID"));

    auto fail = [this](const QString &message) {
        removeSetting(QStringLiteral("regem_s"));
        removeSetting(QStringLiteral("oStaffID"));
        m_regEmail.clear();
        return message;
    };

    if (!haveConnection())
        return fail(m_lastMessage);
    QNetworkReply *reply = m_conn->getFile(kCodesBucket, code.trimmed().toUtf8());
    if (reply->error() == QNetworkReply::ContentNotFoundError)
        return fail(QStringLiteral("Invalid code.  Note that the code expires after 1 day"));
    if (!checkReply(reply, true))
        return fail(QStringLiteral("Failed: ") + m_lastMessage);
    const QStringList fields = QString::fromUtf8(reply->readAll()).split(QLatin1Char(','));
    if (fields.size() != 3)
        return fail(QStringLiteral("Failed to read valid data using your code"));

    setSetting(QStringLiteral("controller"), false);
    const QString result = accountRoutine(fields.at(2).trimmed(), QString(), QString(), true);
    if (!result.isEmpty())
        return fail(result);
    setSetting(QStringLiteral("oStaffID"), fields.at(0).trimmed());
    setSetting(QStringLiteral("userID_s"), fields.at(1).trimmed());
    setSetting(QStringLiteral("userName_s"), staffFullName(fields.at(1).trimmed()));

    const QStringList accounts = sharedList(QStringLiteral("suppAccnts_sl"));
    if (!accounts.isEmpty())
        setSetting(QStringLiteral("bus_s"), sharedValue(QStringLiteral("busNames/") + accounts.first()));
    return QStringLiteral("Connected to account %1").arg(m_regEmail);
}

QString CloudComms::forgotPassword(const QString &email)
{
    m_regEmail = email;
    if (!checkPwd(email, QString()).isEmpty())
        return m_lastMessage;

    // Digits and capitals A to Y: '0' + 0..41, leaving out the punctuation
    // between '9' and 'A'.
    QString temporary;
    QRandomGenerator *random = QRandomGenerator::system();
    while (temporary.size() < 8) {
        const char c = char('0' + random->bounded(42));
        if (!std::ispunct(static_cast<unsigned char>(c)))
            temporary.append(QLatin1Char(c));
    }
    if (!storePassword(email, temporary))
        return m_lastMessage;

    const QString from = QStringLiteral("%1 Support <%2>").arg(productName(), QLatin1String(kNoReplyAddress));
    const QString text = QStringLiteral("Your temporary %1 password is:\n%2\nYou can change this from the Settings page of %3")
                             .arg(productName(), temporary, productName());
    if (!sendMail(email, QString(), from, QStringLiteral("Your %1 password").arg(productName()), text))
        return m_lastMessage;
    return QStringLiteral("An email with a temporary password has been sent to ") + email;
}

QString CloudComms::resetPassword(const QString &curpwd, const QString &newpwd, bool forceLogin)
{
    const QString email = setting(QStringLiteral("regem_s")).toString();
    const QString check = checkPwd(email, curpwd);
    if (!check.isEmpty())
        return check;
    if (!storePassword(email, newpwd))
        return m_lastMessage;
    if (shared())
        shared()->setValue(QStringLiteral("pwrst"), QDateTime::currentMSecsSinceEpoch());
    if (forceLogin) {
        // Other devices of the account see the change through this copy.
        if (shared())
            shared()->sync();
        uploadFile(AppContext::sharedSettingsFolder + QStringLiteral("/lta.ini"),
                   email + QStringLiteral("/rc/lta.ini"), false);
    }
    return QString();
}

void CloudComms::unregister(bool quit)
{
    qInfo() << "Unregister account " << m_regEmail;
    m_regEmail.clear();
    clearUserSettings();
    clearSharedSettings();
    if (quit) {
        syncSettings();
        QCoreApplication::exit(0);
    }
}

// ---------------------------------------------------------------------------
// Task queue

void CloudComms::queueTask(int task)
{
    m_taskLock.lock();
    if (!m_tasks.contains(task))
        m_tasks.append(task);
    m_taskLock.unlock();
    runTasks();
}

QList<int> CloudComms::queuedTasks()
{
    QMutexLocker locker(&m_taskLock);
    return m_tasks;
}

void CloudComms::runTasks()
{
    // Jobs wait in nested event loops, from which the interface may queue
    // more; the running loop picks those up.
    if (m_busy)
        return;
    m_busy = true;
    for (;;) {
        {
            QMutexLocker locker(&m_taskLock);
            if (m_tasks.isEmpty())
                break;
            if (m_stop) {
                m_stop = false;
                m_tasks.clear();
                break;
            }
        }
        if (!checkInternet()) {
            m_lastMessage = QStringLiteral("You are not connected to the Internet");
            emit asyncResult(m_lastMessage);
        }
        if (!m_taskLock.tryLock(2000))
            break;
        if (m_tasks.isEmpty()) {
            m_taskLock.unlock();
            break;
        }
        const int task = m_tasks.takeFirst();
        m_taskLock.unlock();

        m_lastMessage.clear();
        if (task == TaskCheckForData) {
            dataCheckTask();
        } else if (task == TaskFetchTransfers) {
            if (fetchTransfers)
                fetchTransfers();
        } else if (task == TaskStaffCheck) {
            const bool stillOnList = staffCheck();
            emit asyncResult(m_lastMessage);
            if (!stillOnList)
                break;
        }
    }
    m_busy = false;
}

void CloudComms::dataCheckTask()
{
    const QString root = AppContext::dataFolder;
    int r = checkForData(QStringLiteral("V3VexaData"));
    if (r > 0) {
        m_lastMessage = QStringLiteral("Successfully downloaded new data");
        if (!setting(QStringLiteral("v3_b"), false).toBool()) {
            setSetting(QStringLiteral("v3_b"), true);
            AppContext::v3Catalogue = true;
            removeTree(root + QStringLiteral("/VexaData"));
        }
    } else if (r == -1) {
        r = checkForData(QStringLiteral("VexaData"));
        if (r > 0)
            m_lastMessage = QStringLiteral("Successfully downloaded new data");
    }
    const QString products = QStringLiteral("Products: ") + m_lastMessage;

    QString settingsText;
    if (m_lastMessage.isEmpty() || m_lastMessage.startsWith(QLatin1String("No new"))
        || m_lastMessage.startsWith(QLatin1String("Succ"))) {
        if (checkForData(QStringLiteral("VexaCfg")) > 0)
            m_lastMessage = QStringLiteral("Successfully downloaded new settings");
        emit businessConfigUpdated();
        emit catalogueUpdated();
        settingsText = QStringLiteral(".\nSettings: ") + m_lastMessage;
    }
    emit asyncResult(products + settingsText);
}

bool CloudComms::staffCheck()
{
    const QString id = setting(QStringLiteral("userID_s")).toString();
    bool found = false;
    if (shared()) {
        shared()->beginGroup(QStringLiteral("staff"));
        const QStringList keys = shared()->childKeys();
        for (const QString &key : keys) {
            const QString entry = shared()->value(key).toString();
            if (entry.section(QLatin1Char(':'), 0, 0) == id) {
                found = true;
                break;
            }
        }
        shared()->endGroup();
    }
    if (!found)
        m_lastMessage = QStringLiteral("The user ID: %1 has been removed from this %2 account").arg(id, productName());
    return found;
}

void CloudComms::asyncCheckForData()
{
    if (setting(QStringLiteral("regem_s")).toString().isEmpty())
        m_lastMessage = QStringLiteral("Your Vexa account has not been set");
    else if (setting(QStringLiteral("userID_s")).toString().isEmpty())
        m_lastMessage = QStringLiteral("User ID is empty");
    else
        queueTask(TaskCheckForData);
}

void CloudComms::asyncRegisterUser()
{
    queueTask(TaskStaffCheck);
    const QString userId = setting(QStringLiteral("userID_s")).toString();
    if (userId.isEmpty())
        return;
    const QString key = QStringLiteral("%1/db/%2.db3").arg(m_regEmail, userId);
    if (downloadToFile(AppContext::dataFolder + QStringLiteral("/db/products.db3"), key, nullptr,
                       DownloadBudget::limit(DownloadBudget::Archive)) == 0) {
        setSetting(QStringLiteral("dbmod"), false);
        qInfo() << "Downloaded product db";
    }
}

void CloudComms::asyncCheckConnections(bool force)
{
    if (force)
        return;
    if (setting(QStringLiteral("connchk")).toDate() != QDate::currentDate())
        queueTask(TaskConnections);
}

// ---------------------------------------------------------------------------
// Catalogue and configuration data

int CloudComms::checkForData(const QString &name)
{
    if (!haveConnection())
        return -1;
    const QString folder = AppContext::dataFolder + QLatin1Char('/') + name;
    const QString zipPath = folder + QStringLiteral(".zip");
    QByteArray condition;
    if (QDir(folder).exists())
        condition = setting(name).toString().toLatin1();

    const bool catalogue = name != QLatin1String("VexaCfg");
    emit busy(catalogue ? QStringLiteral("Checking for new product data...") : QStringLiteral("Checking for new settings..."));
    // The window learns when the work is over, however it ends.
    struct Done
    {
        CloudComms *cloud;
        ~Done() { emit cloud->busy(QString()); }
    } done{this};
    // The archive goes straight to disk, within its budget.
    QFile zip(zipPath);
    if (!zip.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCritical() << "failed to open for writing" << zipPath << zip.errorString();
        m_lastMessage = QStringLiteral("Failed to save new data");
        return -1;
    }
    const QByteArray key = m_regEmail.toUtf8() + '/' + name.toUtf8() + ".zip";
    QNetworkReply *reply = m_conn->getFileTo(kBucket, key, &zip, DownloadBudget::limit(DownloadBudget::Archive),
                                             condition.isEmpty() ? QVariant() : QVariant(QString::fromLatin1(condition)));
    const qint64 written = zip.size();
    zip.close();
    if (reply->error() != QNetworkReply::NoError)
        qInfo() << "NetworkError error()" << reply->error();
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 304) {
        qInfo() << name << "not modified";
        QFile::remove(zipPath);
        m_lastMessage = QStringLiteral("No new data is available");
        return 0;
    }
    if (reply->property("lta_sinkFailed").toBool()) {
        qCritical() << "failed to write" << zipPath << zip.errorString();
        QFile::remove(zipPath);
        m_lastMessage = QStringLiteral("Failed to save new data");
        return -1;
    }
    if (!checkReply(reply, false)) {
        QFile::remove(zipPath);
        return -1;
    }
    if (written == 0) {
        QFile::remove(zipPath);
        m_lastMessage = QStringLiteral("Cloud data found but 0 bytes");
        return -1;
    }
    if (written < 10) {
        qWarning() << "File < 10 bytes after writing" << zipPath << written;
        m_lastMessage = QStringLiteral("Invalid data from cloud (too few bytes)");
        QFile::remove(zipPath);
        return -1;
    }
    // Remembered only once the data is in place: a failed unpack is tried
    // again at the next check instead of being taken as up to date.
    const QString lastModified = QString::fromLatin1(reply->rawHeader("Last-Modified"));
    emit busy(catalogue ? QStringLiteral("Unpacking new product data...") : QStringLiteral("Unpacking new settings..."));
    if (!unzipData(name, zipPath)) {
        QFile::remove(zipPath);
        return -1;
    }
    setSetting(name, lastModified);
    return 1;
}

bool CloudComms::isSafeEntryName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')))
        return false;
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(name).hasMatch())
        return false;
    const QStringList parts = name.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    return !parts.contains(QStringLiteral(".."));
}

bool CloudComms::unzipData(const QString &name, const QString &zipPath)
{
    const QString target = AppContext::dataFolder + QLatin1Char('/') + name;
    m_lastMessage.clear();
    if (!unpackArchive(zipPath, target, &m_lastMessage))
        return false;
    QFile::remove(zipPath);
    CsvTable::dropCache();   // tables read before the update are stale
    return true;
}

bool CloudComms::unpackArchive(const QString &zipPath, const QString &target, QString *message)
{
    qInfo() << "unzip: " << zipPath << target;
    const QString invalid = QStringLiteral("Invalid data from the cloud. Try uploading again from Vexa Setup.");
    const qint64 entryBudget = DownloadBudget::limit(DownloadBudget::ArchiveEntry);
    const qint64 archiveBudget = DownloadBudget::limit(DownloadBudget::Archive);

    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdUnzip)) {
        *message = invalid;
        qCritical() << "QuaZip.open error: " << zip.getZipError();
        return false;
    }
    // The archive comes from the network: a name that leaves the target
    // folder, or sizes past the budgets, refuse the whole archive before
    // anything is inflated or touched.
    qint64 announced = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString entry = zip.getCurrentFileName();
        QuaZipFileInfo64 info;
        if (!isSafeEntryName(entry) || !zip.getCurrentFileInfo(&info)) {
            qCritical() << "unzip: refusing archive with entry" << entry.left(200);
            *message = invalid;
            zip.close();
            return false;
        }
        announced += qint64(qMin<quint64>(info.uncompressedSize, quint64(archiveBudget) + 1));
        if (info.uncompressedSize > quint64(entryBudget) || announced > archiveBudget) {
            qCritical() << "unzip: refusing archive: entry" << entry.left(200) << "inflates to" << info.uncompressedSize;
            *message = QStringLiteral("Refused data from the cloud: it unpacks to more than allowed");
            zip.close();
            return false;
        }
    }
    if (zip.getZipError() != UNZ_OK) {
        qWarning() << "unzip: archive walk failed" << zip.getZipError();
        *message = invalid;
        zip.close();
        return false;
    }

    // Unpack beside the old folder; it is only replaced once every entry
    // has been written, so a broken archive leaves the old data in use.
    const QString part = target + QStringLiteral(".part");
    const QString old = target + QStringLiteral(".old");
    removeTree(part);
    removeTree(old);
    if (!QDir().mkpath(part)) {
        qCritical() << "Failed to mkpath: " << part;
        *message = QStringLiteral("Failed to create local data: ") + part;
        zip.close();
        return false;
    }
    auto abandon = [&](const QString &text) {
        *message = text;
        zip.close();
        removeTree(part);
        return false;
    };

    qint64 total = 0;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    QuaZipFile entryFile(&zip);
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString entry = zip.getCurrentFileName();
        if (entry.endsWith(QLatin1Char('/')))
            continue;
        QuaZipFileInfo64 info;
        zip.getCurrentFileInfo(&info);
        const QString path = part + QLatin1Char('/') + entry;
        const QString folder = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(folder)) {
            qCritical() << "Failed to mkpath: " << folder;
            return abandon(QStringLiteral("Failed to create local data: ") + folder);
        }
        if (!entryFile.open(QIODevice::ReadOnly)) {
            qWarning() << "Failed to open compressed file" << entry;
            return abandon(invalid);
        }
        qInfo() << "Write " << path;
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qCritical() << "Failed to open: " << path << out.errorString();
            entryFile.close();
            return abandon(QStringLiteral("Failed to open local data folder") + path);
        }
        // Piece by piece: an entry whose header understates what it
        // inflates to is cut at its budget, never held whole.
        qint64 size = 0;
        for (;;) {
            const qint64 n = entryFile.read(buffer.data(), buffer.size());
            if (n < 0) {
                entryFile.close();
                qWarning() << "Failed to read compressed file" << entry;
                return abandon(invalid);
            }
            if (n == 0)
                break;
            size += n;
            total += n;
            if (size > entryBudget || total > archiveBudget || quint64(size) > info.uncompressedSize) {
                entryFile.close();
                qCritical() << "unzip: entry" << entry.left(200) << "inflates past its size or budget";
                return abandon(QStringLiteral("Refused data from the cloud: it unpacks to more than allowed"));
            }
            if (out.write(buffer.constData(), n) != n) {
                entryFile.close();
                qCritical() << "Failed to write to: " << path << out.errorString();
                return abandon(QStringLiteral("Failed to write to local data folder") + path);
            }
        }
        entryFile.close();
        // Closing checks the entry's CRC: a damaged archive shows here.
        if (entryFile.getZipError() != UNZ_OK || quint64(size) != info.uncompressedSize) {
            qWarning() << "Failed to read compressed file" << entry << entryFile.getZipError();
            return abandon(invalid);
        }
        if (size < 4)
            qWarning() << "Invalid file" << entry << "size= " << size;
        if (!out.flush()) {
            qCritical() << "Failed to write to: " << path << out.errorString();
            return abandon(QStringLiteral("Failed to write to local data folder") + path);
        }
        out.close();
    }
    if (zip.getZipError() != UNZ_OK) {
        qWarning() << "unzip: archive walk failed" << zip.getZipError();
        return abandon(invalid);
    }
    zip.close();

    if (QDir(target).exists() && !QDir().rename(target, old)) {
        qWarning() << "Failed to removeDir" << target;
        removeTree(target);
    }
    if (!QDir().rename(part, target)) {
        qCritical() << "Failed to mkpath: " << target;
        if (QDir(old).exists())
            QDir().rename(old, target);
        *message = QStringLiteral("Failed to create local data: ") + target;
        removeTree(part);
        return false;
    }
    if (!removeTree(old))
        qWarning() << "Failed to removeDir" << old;
    return true;
}

void CloudComms::checkFor_cfgUpdates(bool force)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now < setting(QStringLiteral("cfg_chk"), 0).toLongLong() + 30)
        return;

    // Universal data shared by every account lives under "0_cfg".
    const QString account = m_regEmail;
    m_regEmail = QStringLiteral("0_cfg");
    int r = checkForData(QStringLiteral("V3VexaData"));
    if (r != -1) {
        r = checkForData(QStringLiteral("VexaCfg"));
        if (r == 1)
            emit businessConfigUpdated();
    }
    m_regEmail = account;

    if (m_lastMessage.contains(QLatin1String("no new data"), Qt::CaseInsensitive))
        m_lastMessage.clear();
    if (!m_lastMessage.isEmpty())
        return;

    downloadUniversalSettings();

    const qint64 today = QDate::currentDate().toJulianDay();
    if (setting(QStringLiteral("controller"), false).toBool()
        && (force || today - setting(QStringLiteral("addrChk"), 0).toLongLong() > 1)) {
        QString error;
        if (business.fetchAccountAddresses) {
            for (const QString &accountId : sharedList(QStringLiteral("suppAccnts_sl"))) {
                error = business.fetchAccountAddresses(accountId);
                if (!error.isEmpty())
                    break;
            }
        }
        if (error.isEmpty()) {
            setSetting(QStringLiteral("addrChk"), today);
            qInfo() << "updated delivery addresses";
        } else {
            qDebug() << "fetchAccountAddresses" << error;
        }
    }
    setSetting(QStringLiteral("cfg_chk"), QDateTime::currentSecsSinceEpoch());
    emit configurationChecked();
}

int CloudComms::versionNumber(const QString &currvers)
{
    const QStringList parts = currvers.split(QLatin1Char('.'));
    if (parts.size() < 3)
        return 0;
    return (parts.at(0).toInt() * 100 + parts.at(1).toInt()) * 100 + parts.at(2).toInt();
}

void CloudComms::mergeUniversalSettings(const QString &path)
{
    // Without a file there is nothing to merge; "currver" keeps its value.
    if (!QFileInfo::exists(path))
        return;
    QSettings file(path, QSettings::IniFormat);
    const QStringList keys = file.allKeys();
    for (const QString &key : keys) {
        // The file is shared by every installation: where this one keeps its
        // data, which services it reaches and with which keys stay its own.
        const QString name = key.startsWith(QLatin1Char('-')) ? key.mid(1) : key;
        const QString target = BusinessKeys::businessKey(name);
        if (target.isEmpty()) {
            qWarning() << "un.ini may not set" << name.left(100);
            continue;
        }
        if (key.startsWith(QLatin1Char('-'))) {
            removeSetting(target);
        } else if (BusinessKeys::acceptableValue(target, file.value(key))) {
            setSetting(target, file.value(key));
        } else {
            qWarning() << "un.ini: refused the value of" << target;
        }
    }
    setSetting(QStringLiteral("currver"), versionNumber(file.value(QStringLiteral("currvers")).toString()));
}

void CloudComms::downloadUniversalSettings()
{
    const QString folder = AppContext::dataFolder + QStringLiteral("/un");
    if (!QDir().mkpath(folder))
        qCritical() << "Failed to create required folders.";
    const QString path = folder + QStringLiteral("/un.ini");
    QVariant condition = setting(QStringLiteral("un.ini"));
    const int r = downloadToFile(path, QStringLiteral("0_cfg/un.ini"), &condition);
    if (r == 304)
        return;
    if (r == 0) {
        qInfo() << "new un.ini";
        setSetting(QStringLiteral("un.ini"), condition);
        mergeUniversalSettings(path);
    } else {
        qWarning() << "Failed to download un.ini" << m_lastMessage;
    }
}

bool CloudComms::notificationCheck()
{
    const QString path = AppContext::dataFolder + QStringLiteral("/un.ini");
    QVariant condition = setting(QStringLiteral("un.ini"));
    const int r = downloadToFile(path, QStringLiteral("0_cfg/un.ini"), &condition);
    if (r != 0 && r != 304)
        return false;
    if (r == 0)
        setSetting(QStringLiteral("un.ini"), condition);
    mergeUniversalSettings(path);
    return true;
}

int CloudComms::downloadToFile(const QString &localPath, const QString &key, QVariant *condition, qint64 limit)
{
    if (!haveConnection())
        return QNetworkReply::UnknownNetworkError;
    // Only a real date-time makes the request conditional.
    QVariant since;
    if (condition && condition->toDateTime().isValid())
        since = condition->toDateTime();
    // Straight into the file, within its budget; the old file stays until
    // the whole body is in.
    QSaveFile file(localPath);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "Failed to open  file" << localPath << file.errorString();
        return 1;
    }
    QNetworkReply *reply = m_conn->getFileTo(kBucket, key.toUtf8(), &file,
                                             limit > 0 ? limit : DownloadBudget::limit(DownloadBudget::Reply), since);
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 304) {
        file.cancelWriting();
        m_lastMessage.clear();
        return 304;
    }
    if (reply->property("lta_sinkFailed").toBool()) {
        qCritical() << "Failed to write received file" << localPath << file.errorString();
        file.cancelWriting();
        return 1;
    }
    if (!checkReply(reply, false)) {
        file.cancelWriting();
        qInfo() << "Failed to get" << key << m_lastMessage;
        return QAmazonConnection::isOverBudget(reply) ? int(QNetworkReply::OperationCanceledError) : int(reply->error());
    }
    if (!file.commit()) {
        qCritical() << "Failed to write received file" << localPath << file.errorString();
        return 1;
    }
    if (condition)
        *condition = reply->header(QNetworkRequest::LastModifiedHeader).toDateTime();
    return 0;
}

bool CloudComms::uploadFile(const QString &localPath, const QString &key, bool isPublic)
{
    QByteArray contents;
    bool skip = false;
    if (!readUploadFile(localPath, &contents, &skip))
        return false;
    if (skip)
        return true;
    if (!haveConnection())
        return false;
    QNetworkReply *reply = m_conn->putFile(key, QLatin1String(kBucket), contents, isPublic);
    if (reply->error() == QNetworkReply::NoError)
        return true;
    return checkReply(reply, true);
}

const char *CloudComms::defaultProbeUrl()
{
    return "http://www.example.com/";
}

QString CloudComms::probeUrl()
{
    const QString configured = setting(QStringLiteral("inetProbeUrl_s")).toString().trimmed();
    return configured.isEmpty() ? QString::fromLatin1(defaultProbeUrl()) : configured;
}

bool CloudComms::checkInternet()
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(probeUrl())};
    // A probe that never answers must not hold the caller for ever.
    request.setTransferTimeout(10000);
    QNetworkReply *reply = manager.get(request);
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bool online = reply->bytesAvailable() > 0;
    if (!online)
        qInfo() << "checkInternet" << reply->errorString();
    delete reply;
    return online;
}

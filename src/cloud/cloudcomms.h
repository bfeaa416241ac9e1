#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QAmazonConnection;
class VexaOrder;

// The controller through which the interface reaches the cloud: account
// registration and sign-in, password handling, catalogue and configuration
// updates and the background task queue. Every operation waits for the
// storage client synchronously and reports through its result text and
// lastMessage(); none throws.
class CloudComms : public QObject
{
    Q_OBJECT
public:
    // Task numbers of the background queue.
    enum Task { TaskCheckForData = 3, TaskStaffCheck = 4, TaskConnections = 5, TaskFetchTransfers = 6 };

    // The order is only kept for the operations that post orders; it may be
    // null. The credential block comes from CloudCredentials::controllerBlock().
    explicit CloudComms(VexaOrder *order, QObject *parent = nullptr);
    ~CloudComms() override;

    // Hooks into the business accounts and the staff list, which live in
    // their own managers. Unset hooks do nothing and succeed.
    struct BusinessHooks
    {
        // Downloads and stores one account's business data and delivery
        // addresses; returns "" or the error text.
        std::function<QString(const QString &accountId)> fetchAccountAddresses;
    };
    struct StaffHooks
    {
        // (Re)loads the staff list from the shared settings.
        std::function<void()> refreshStaffList;
        // Adds a new person; false when refused.
        std::function<bool(const QString &shortName, const QString &fullName)> addStaff;
        // The full name of the person with that short name (user id).
        std::function<QString(const QString &shortName)> fullNameFromShortName;
    };
    BusinessHooks business;
    StaffHooks staff;
    // Fetches the transfers sent to this user (task 6).
    std::function<void()> fetchTransfers;

    // -- interface operations: a message text, empty meaning success --
    Q_INVOKABLE QString registerAtLTA(const QString &email, const QString &customerNum, const QString &passwd,
                                      bool loginCurrent, bool vexaUser = false);
    Q_INVOKABLE QString confirmedBusiness(const QString &email, const QString &customerNum,
                                          const QString &passwd);
    Q_INVOKABLE QString checkPwd(const QString &email, const QString &passwd);
    Q_INVOKABLE QString registerStaff(const QString &code);
    Q_INVOKABLE QString forgotPassword(const QString &email);
    Q_INVOKABLE QString resetPassword(const QString &curpwd, const QString &newpwd, bool forceLogin);
    Q_INVOKABLE void unregister(bool quit = false);
    Q_INVOKABLE QString lastMessage() const { return m_lastMessage; }

    Q_INVOKABLE void asyncCheckForData();
    Q_INVOKABLE void asyncRegisterUser();
    Q_INVOKABLE void asyncCheckConnections(bool force = false);
    Q_INVOKABLE void checkFor_cfgUpdates(bool force = false);
    Q_INVOKABLE void downloadUniversalSettings();
    Q_INVOKABLE bool notificationCheck();
    Q_INVOKABLE bool checkInternet();
    // Stops the posting chain after its current step (and a running task queue).
    Q_INVOKABLE void stopPosting();

    // -- posting and transfers (orderposting.cpp, ordertransfers.cpp) --
    // Starts the posting chain: transfers in "xfer/" first, then every order
    // in "post/", one step per event-loop turn. While a chain runs no second
    // one starts; a call then only lifts a pending stop.
    Q_INVOKABLE void asyncPostOrders();
    Q_INVOKABLE void asyncGetTransfers() { queueTask(TaskFetchTransfers); }
    Q_INVOKABLE bool isPosting() const { return m_posting; }
    // The order the last posting step was about, for the interface to act on
    // a result: {orderID, orderState (3 queued, 4 sent), custEmail,
    // mailCheckResult}; empty before the first step.
    Q_INVOKABLE QVariantMap postingOrderInfo() const;
    Q_INVOKABLE bool sendLogs();
    // The cloud folder name of a transfer recipient: staff IDs (what orders
    // name as "xto") are turned into the person's user id, the name the
    // recipient's device lists; lower case.
    static QString transferFolderFor(const QString &recipient);
    // -- e-mail address check (emailcheck.cpp) --
    // 3 checking off, 2 valid, 1 doubtful, 0 no verdict, -1 bad domain, -2 bad format.
    Q_INVOKABLE int checkEmailAddress(const QString &email);

    // -- shared with the posting, transfer and staff code operations --
    QNetworkReply *getUserFile(const QString &name, const QByteArray &ifModifiedSince = QByteArray());
    bool checkReply(QNetworkReply *reply, bool requireData);
    bool putAndCheck(const QByteArray &data, const QString &key, const QString &bucket);
    bool storePassword(const QString &email, const QString &passwd);
    // Sends through the mail web API with this controller's mail credential;
    // on failure lastMessage() tells why.
    bool sendMail(const QString &to, const QString &replyTo, const QString &from, const QString &subject,
                  const QString &body, const QStringList &attachments = QStringList(),
                  const QString &cc = QString());

    // -1 error, 0 nothing new, 1 downloaded and unpacked.
    int checkForData(const QString &name);
    bool unzipData(const QString &name, const QString &zipPath);
    // Unpacks an archive from the store into target, replacing it only when
    // every entry is in. Refused before anything is inflated: unsafe names,
    // entries or a whole past their budgets (DownloadBudget); entries stream
    // to disk and are cut where they inflate past what they announced.
    static bool unpackArchive(const QString &zipPath, const QString &target, QString *message);
    // 0 success, 304 not modified, 1 local file error, else the network error.
    // condition (may be null): in, the If-Modified-Since date-time; out, the
    // reply's Last-Modified.
    // The body goes straight to the file and is cut past limit bytes (0: the
    // reply budget); the file is replaced only by a whole body.
    int downloadToFile(const QString &localPath, const QString &key, QVariant *condition = nullptr, qint64 limit = 0);
    bool uploadFile(const QString &localPath, const QString &key, bool isPublic);

    void queueTask(int task);
    QList<int> queuedTasks();

    QString regEmail() const { return m_regEmail; }
    QAmazonConnection *connection() const { return m_conn; }
    VexaOrder *order() const { return m_order; }

    // The connectivity probe: setting "inetProbeUrl_s", or this default.
    static QString probeUrl();
    static const char *defaultProbeUrl();
    // "currvers" a.b.c as (a * 100 + b) * 100 + c; 0 when malformed.
    static int versionNumber(const QString &currvers);
    // True for an archive entry name that stays inside the target folder.
    static bool isSafeEntryName(const QString &name);

    static QString supportAddress();

    static const char *kBucket;      // the product bucket
    static const char *kCodesBucket; // staff access codes

public slots:
    // One step of the posting chain.
    void _postNextOrder();
    void mgError(QNetworkReply::NetworkError code);

signals:
    void asyncResult(const QString &text);
    // Queued to _postNextOrder: the next posting step.
    void orderPosted();
    // The posting chain ended; emptied when both queues were emptied without
    // an error.
    void postingFinished(bool emptied);
    // New catalogue data is in place: catalogue-dependent controls reload.
    void catalogueUpdated();
    // New configuration files are in place: the business configuration reloads.
    void businessConfigUpdated();
    // A configuration check ran through; the lead time refresh hangs off it.
    void configurationChecked();
    // Long work under way, for the window to show ("" when it is over).
    void busy(const QString &text);

private:
    QString accountRoutine(const QString &email, const QString &customerNum, const QString &passwd,
                           bool loginCurrent);
    bool haveConnection();
    void runTasks();
    void dataCheckTask();
    bool staffCheck();
    void mergeUniversalSettings(const QString &path);
    void reloadSharedSettings(const QString &path);
    void clearUserSettings();
    void clearSharedSettings();
    void syncSettings();
    void finishRegistration();
    QString staffFullName(const QString &shortName) const;
    // posting steps: -1 stop with an error, 0 nothing left, > 0 go on
    int sendNextTransfer();
    int postNextOrder();
    bool trackingCopy(const QString &postedPath, const QString &fileName);
    void finishPosting(bool emptied);
    void getTransfers();
    bool fetchTransfer(const QString &key);
    VexaOrder *postingOrder();

    QMutex m_taskLock;
    QList<int> m_tasks;
    QString m_regEmail;
    QString m_lastMessage;
    VexaOrder *m_order;
    QByteArray m_storageKeyId;
    QByteArray m_storageSecret;
    QByteArray m_mailCredential;
    QString m_mailCheckKey;
    QString m_credentialMessage; // why there is no connection
    QAmazonConnection *m_conn = nullptr;
    bool m_busy = false;
    bool m_stop = false;
    bool m_posting = false;
    bool m_postStop = false;
    VexaOrder *m_postOrder = nullptr; // the order being posted (not the interface's)
    QStringList m_postSkipped;        // queued files this chain leaves where they are
};

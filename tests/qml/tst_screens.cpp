// Screen tests: the real main window and screens, driven through their
// objects and signals, with the context objects start-up publishes.
#include "app/appcontext.h"
#include "app/externalopen.h"
#include "app/registertypes.h"
#include "business/businessmanager.h"
#include "business/controllerlink.h"
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "pricing/catalogue.h"
#include "downloadserver.h"
#include "localcloud.h"
#include "suppliertestservers.h"
#include "testservers.h"
#include "testenv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlError>
#include <QTest>
#include <QWindow>
#include <QtQuickTest>
#include <QtWebView>

#include <cstdio>
#include <memory>

namespace {
QStringList qmlWarnings;
// what the screens asked the desktop to open
QStringList openedUrls;
QtMessageHandler previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const bool fromQml = text.contains(QLatin1String("qrc:/")) || text.contains(QLatin1String(".qml"))
                         || qstrcmp(context.category, "qml") == 0 || qstrcmp(context.category, "js") == 0;
    if (fromQml && type != QtDebugMsg && type != QtInfoMsg)
        qmlWarnings << text;
    if (previousHandler)
        previousHandler(type, context, text);
}
} // namespace

// The cloud controller with the staff and business managers, linked as the
// program links them.
struct Controller
{
    explicit Controller(VexaOrder *order)
        : cloud(order)
    {
        staff.connectTo(&cloud);
        linkBusinessToController(&cloud, &business);
        QObject::connect(&cloud, &CloudComms::catalogueUpdated, order, &VexaOrder::reloadCatalogueControls);
    }
    CloudComms cloud;
    StaffManager staff;
    BusinessManager business;
};

// The installer download server of the tests (downloadserver.py).
// Triggers a screen test cannot pull from QML alone.
class TestTools : public QObject
{
    Q_OBJECT
public:
    TestTools(VexaOrder *order, QQmlEngine *engine)
        : QObject(engine)
        , m_order(order)
        , m_engine(engine)
    {
    }

    // A real close request, as the window manager sends it.
    Q_INVOKABLE void closeWindow(QObject *window)
    {
        if (auto w = qobject_cast<QWindow *>(window))
            w->close();
    }
    // A key pressed in the given window, as a user types it.
    Q_INVOKABLE void keyClick(QObject *window, int key, int modifiers)
    {
        if (auto w = qobject_cast<QWindow *>(window)) {
            w->requestActivate();
            QTest::keyClick(w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        }
    }
    // Another start of the program hands over an order file.
    Q_INVOKABLE void handOver(const QString &path) { m_order->receivedMessage(2, path.toUtf8()); }
    Q_INVOKABLE QString ordersFolder() const { return AppContext::ordersFolder; }
    Q_INVOKABLE QString tempFolder() const { return AppContext::dataFolder + QStringLiteral("/tmp/"); }
    Q_INVOKABLE QVariantMap readOrder(const QString &path) const
    {
        return QJsonDocument::fromJson(TestEnv::readFile(path)).object().toVariantMap();
    }
    Q_INVOKABLE bool writeOrder(const QString &path, const QVariantMap &order) const
    {
        return TestEnv::writeFile(path, QJsonDocument(QJsonObject::fromVariantMap(order)).toJson());
    }
    Q_INVOKABLE QString sourcePath(const QString &relative) const { return TestEnv::sourcePath(relative); }
    Q_INVOKABLE bool exists(const QString &path) const { return QFile::exists(path); }
    Q_INVOKABLE bool remove(const QString &path) const { return QFile::remove(path) || QDir(path).removeRecursively(); }
    // A folder where a file should go makes writing that file fail, even as root.
    Q_INVOKABLE bool blockPath(const QString &path) const { return QDir().mkpath(path); }
    Q_INVOKABLE QStringList warnings() const { return qmlWarnings; }
    Q_INVOKABLE QString dataFolder() const { return AppContext::dataFolder; }
    Q_INVOKABLE QString readText(const QString &path) const { return QString::fromUtf8(TestEnv::readFile(path)); }
    Q_INVOKABLE bool writeText(const QString &path, const QString &text) const { return TestEnv::writeFile(path, text.toUtf8()); }
    // File names in a folder matching a wildcard, sorted.
    Q_INVOKABLE QStringList files(const QString &folder, const QString &pattern) const
    {
        return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
    }
    // The mails a folder of .eml files holds, read as a mail program reads
    // them (tests/common/emlread.py): from, to, subject, html, attachments.
    Q_INVOKABLE QVariantList readMails(const QString &folder) const
    {
        QStringList args{TestEnv::sourcePath(QStringLiteral("tests/common/emlread.py"))};
        const QStringList names = files(folder, QStringLiteral("*.eml"));
        if (names.isEmpty())
            return {};
        for (const QString &name : names)
            args << folder + QLatin1Char('/') + name;
        QProcess reader;
        reader.start(QStringLiteral("python3"), args);
        reader.waitForFinished(30000);
        QVariantList mails;
        const QList<QByteArray> lines = reader.readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            if (!line.trimmed().isEmpty())
                mails << QJsonDocument::fromJson(line).object().toVariantMap();
        }
        return mails;
    }
    // lattica-cli on this data folder: {code, out, err}.
    Q_INVOKABLE QVariantMap runCli(const QStringList &args) const
    {
        QProcess cli;
        cli.start(QStringLiteral(LTA_BINARY_DIR "/src/lattica-cli"), args);
        cli.waitForFinished(60000);
        return {{QStringLiteral("code"), cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1},
                {QStringLiteral("out"), QString::fromUtf8(cli.readAllStandardOutput())},
                {QStringLiteral("err"), QString::fromUtf8(cli.readAllStandardError())}};
    }
    // The address of the installer download server, started on first use;
    // "" when it does not start.
    Q_INVOKABLE QString downloadServer()
    {
        if (!m_downloads) {
            m_downloads = std::make_unique<DownloadServer>();
            if (!m_downloads->start()) {
                m_downloads.reset();
                return {};
            }
        }
        return m_downloads->https(QString()).toString();
    }
    Q_INVOKABLE QString downloadDigest() const
    {
        return QString::fromLatin1(QCryptographicHash::hash(DownloadServer::wholeFile(), QCryptographicHash::Sha256).toHex());
    }
    // The pages and folders handed to the desktop since the last call.
    Q_INVOKABLE QStringList opened() { return std::exchange(openedUrls, {}); }
    // The demo's local cloud, started once for the tests that need real
    // servers, with a controller of its own that reads the settings pointing
    // at it, published in place of the usual one. Returns what it announced.
    Q_INVOKABLE QVariantMap startCloud(bool fresh = false)
    {
        if (fresh && m_cloud) {
            // a store, portal and mail folder of its own for this test
            m_cloud.reset();
        }
        if (!m_cloud) {
            m_cloud = std::make_unique<LocalCloud>();
            if (!m_cloud->start().isEmpty()) {
                m_cloud.reset();
                return {};
            }
            // the old controller goes only once nothing can reach it
            std::unique_ptr<Controller> old = std::move(m_controller);
            m_controller = std::make_unique<Controller>(m_order);
            m_engine->rootContext()->setContextProperty(QStringLiteral("vexaData"), &m_controller->cloud);
            m_engine->rootContext()->setContextProperty(QStringLiteral("cloudComms"), &m_controller->cloud);
            old.reset();
        } else if (!m_cloud->pointSettings().isEmpty()) {
            return {};
        }
        return m_cloud->stack().toVariantMap();
    }

private:
    VexaOrder *m_order;
    QQmlEngine *m_engine;
    std::unique_ptr<LocalCloud> m_cloud;
    std::unique_ptr<Controller> m_controller;
    std::unique_ptr<DownloadServer> m_downloads;
};

class Setup : public QObject
{
    Q_OBJECT
public:
    Setup()
    {
        // before the application object exists
        QtWebView::initialize();
    }

public slots:
    void applicationAvailable()
    {
        previousHandler = qInstallMessageHandler(recordWarnings);
        TestEnv::initApp();
        m_data.reset(TestEnv::freshDataFolder());
        Catalogue::installFrom(TestEnv::sourcePath(QStringLiteral("data/catalogue")));
        m_order = std::make_unique<VexaOrder>();
        m_controller = std::make_unique<Controller>(m_order.get());
        m_saved = std::make_unique<SavedOrders>();
        setExternalOpener([](const QUrl &url) {
            openedUrls << url.toString();
            return true;
        });
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        publishInterface(engine, m_order.get(), &m_controller->cloud, m_saved.get());
        // the test framework installs its own message handler later, so the
        // engine's own report is the one that sees every warning
        QObject::connect(engine, &QQmlEngine::warnings, engine, [](const QList<QQmlError> &errors) {
            for (const QQmlError &e : errors)
                qmlWarnings << e.toString();
        });
        engine->rootContext()->setContextProperty(QStringLiteral("testTools"), new TestTools(m_order.get(), engine));
    }

    void cleanupTestCase()
    {
        // The order's list models hang off the application object, which
        // goes first; what is left ends with the process.
        (void)m_saved.release();
        (void)m_controller.release();
        (void)m_order.release();
        if (!qmlWarnings.isEmpty()) {
            std::fprintf(stderr, "QML warnings during the run:\n%s\n", qPrintable(qmlWarnings.join('\n')));
            std::fflush(stderr);
            std::_Exit(1);
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<VexaOrder> m_order;
    std::unique_ptr<Controller> m_controller;
    std::unique_ptr<SavedOrders> m_saved;
};

QUICK_TEST_MAIN_WITH_SETUP(screens, Setup)

#include "tst_screens.moc"

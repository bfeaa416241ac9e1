// Screen tests: the real main window and screens, driven through their
// objects and signals, with the context objects start-up publishes.
#include "app/appcontext.h"
#include "app/registertypes.h"
#include "cloud/cloudcomms.h"
#include "orders/savedorders.h"
#include "orders/vexaorder.h"
#include "pricing/catalogue.h"
#include "testenv.h"

#include <QDir>
#include <QJsonDocument>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlError>
#include <QWindow>
#include <QtQuickTest>
#include <QtWebView>

#include <cstdio>
#include <memory>

namespace {
QStringList qmlWarnings;
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

// Triggers a screen test cannot pull from QML alone.
class TestTools : public QObject
{
    Q_OBJECT
public:
    explicit TestTools(VexaOrder *order, QObject *parent = nullptr)
        : QObject(parent)
        , m_order(order)
    {
    }

    // A real close request, as the window manager sends it.
    Q_INVOKABLE void closeWindow(QObject *window)
    {
        if (auto w = qobject_cast<QWindow *>(window))
            w->close();
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

private:
    VexaOrder *m_order;
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
        m_cloud = std::make_unique<CloudComms>(m_order.get());
        m_saved = std::make_unique<SavedOrders>();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        publishInterface(engine, m_order.get(), m_cloud.get(), m_saved.get());
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
        (void)m_cloud.release();
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
    std::unique_ptr<CloudComms> m_cloud;
    std::unique_ptr<SavedOrders> m_saved;
};

QUICK_TEST_MAIN_WITH_SETUP(screens, Setup)

#include "tst_screens.moc"

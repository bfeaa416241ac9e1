// The staff, sync and download types as the interface creates them: no
// warnings, and "staffItems" reaches the bindings that read it.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/registertypes.h"
#include "testenv.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>
#include <memory>

namespace {
QStringList g_warnings;
void collect(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << text;
}
} // namespace

class TestStaffInterface : public QObject
{
    Q_OBJECT
private slots:
    void createdByTheInterface()
    {
        TestEnv::initApp();
        std::unique_ptr<QTemporaryDir> data(TestEnv::freshDataFolder());
        AppContext::sharedSettings()->setValue("staff/1", "Admin:Administrator::");
        AppContext::sharedSettings()->setValue("staff/2", "JS:Jo Smith::");
        registerInterfaceTypes();
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQuick 2.15\nimport VexaOrder 1.0\nimport vexa.drive 1.0\n"
                          "Item {\n StaffManager { id: staff }\n DownloadManager { id: download }\n"
                          " DCloudComms { id: drive }\n"
                          " property int rows: staffItems.count\n"
                          " property string text: staff.staffList.join(',') + drive.syncResult + download.rate\n}",
                          QUrl("qrc:/staffinterface.qml"));
        QtMessageHandler previous = qInstallMessageHandler(collect);
        std::unique_ptr<QObject> root(component.create());
        qInstallMessageHandler(previous);
        QVERIFY2(root, qPrintable(component.errorString()));
        QCOMPARE(g_warnings, QStringList());
        QCOMPARE(root->property("rows").toInt(), 2);
        QCOMPARE(root->property("text").toString(), QString("Admin,JS"));
    }
};

QTEST_MAIN(TestStaffInterface)
#include "tst_staffinterface.moc"

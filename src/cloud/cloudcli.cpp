#include "cloudcli.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/cli.h"
#include "app/textcipher.h"
#include "business/businessmanager.h"
#include "business/controllerlink.h"
#include "business/staffmanager.h"
#include "cloud/cloudcomms.h"
#include "cloud/cloudcredentials.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>

int cliSealCredentials(CliCall &call)
{
    QList<QByteArray> fields;
    if (call.args.isEmpty()) {
        // Read from standard input so that secrets stay out of the process list.
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            call.err << "seal-credentials: cannot read standard input\n";
            return 1;
        }
        while (fields.size() < 3 && !in.atEnd())
            fields.append(in.readLine().trimmed());
    } else {
        for (const QString &arg : qAsConst(call.args))
            fields.append(arg.toLocal8Bit());
    }
    if (fields.size() != 3) {
        call.err << "seal-credentials: expected KEY_ID, SECRET and MAIL_CREDENTIAL\n";
        return 2;
    }
    QString error;
    const QByteArray block = CloudCredentials::seal(fields.at(0), fields.at(1), fields.at(2), &error);
    if (block.isEmpty()) {
        call.err << "seal-credentials: " << error << '\n';
        return 1;
    }
    call.out << block << '\n';
    return 0;
}

int cliEncipher(CliCall &call)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        call.err << "encipher: cannot read standard input\n";
        return 1;
    }
    const QByteArray plain = in.readLine().trimmed();
    call.out << encryptText(plain).toBase64() << '\n';
    return 0;
}

int cliSettingsSet(CliCall &call)
{
    if (call.args.value(0) != QLatin1String("set") || call.args.size() < 2) {
        call.err << "settings: expected set KEY=VALUE...\n";
        return 2;
    }
    const bool shared = cliTakeFlag(call.args, QStringLiteral("--shared"));
    appSettings *user = shared ? AppContext::sharedSettings() : AppContext::userSettings();
    for (const QString &arg : call.args.mid(1)) {
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            call.err << "settings: not KEY=VALUE: " << arg << '\n';
            return 2;
        }
        const QString key = arg.left(eq);
        const QString text = arg.mid(eq + 1);
        QVariant value = text;
        if (key.endsWith(QLatin1String("_b")) && (text == QLatin1String("true") || text == QLatin1String("false")))
            value = text == QLatin1String("true");
        else if (key.endsWith(QLatin1String("_i")) && !text.isEmpty() && text.toLongLong() != 0)
            value = text.toLongLong();
        else if (key.endsWith(QLatin1String("_sl")))
            value = text.split(QLatin1Char(','));
        user->setValue(key, value);
    }
    user->sync();
    if (user->status() != QSettings::NoError) {
        call.err << "settings: could not write " << user->fileName() << '\n';
        return 1;
    }
    return 0;
}

int cliRegister(CliCall &call)
{
    if (call.args.size() != 3) {
        call.err << "register: expected EMAIL CUSTOMER PASSWORD\n";
        return 2;
    }
    const QString email = call.args.at(0), customer = call.args.at(1), password = call.args.at(2);
    // the folder --data chose (or the configured one), not the default
    AppContext::setupDataFolders(AppContext::dataFolder);
    CloudComms cloud(nullptr);
    BusinessManager business;
    linkBusinessToController(&cloud, &business);
    StaffManager staff;
    staff.connectTo(&cloud);
    const QString found = cloud.registerAtLTA(email, customer, password, false, false);
    if (!found.startsWith(QLatin1String("Company "))) {
        call.err << "register: " << found << '\n';
        return 1;
    }
    const QString confirmed = cloud.confirmedBusiness(email, customer, password);
    if (!confirmed.isEmpty()) {
        call.err << "register: " << confirmed << '\n';
        return 1;
    }
    call.out << QString(found).replace(QLatin1String("<br>"), QLatin1String(" ")) << '\n';
    return 0;
}

int cliOrdersPost(CliCall &call)
{
    if (!call.args.isEmpty()) {
        call.err << "usage: lattica-cli orders post [--data DIR]\n";
        return 2;
    }
    for (const QString &folder : {QStringLiteral("post"), QStringLiteral("posted"), QStringLiteral("xfer"),
                                  QStringLiteral("in"), QStringLiteral("b")})
        QDir().mkpath(AppContext::ordersFolder + folder);
    QDir().mkpath(AppContext::dataFolder + QStringLiteral("/tmp"));

    CloudComms comms(nullptr);
    QObject::connect(&comms, &CloudComms::asyncResult, [&call](const QString &text) {
        call.out << text << '\n';
        call.out.flush();
    });
    bool emptied = false;
    QEventLoop loop;
    QObject::connect(&comms, &CloudComms::postingFinished, [&](bool done) {
        emptied = done;
        loop.quit();
    });
    comms.asyncPostOrders();
    if (comms.isPosting())
        loop.exec();
    return emptied ? 0 : 1;
}

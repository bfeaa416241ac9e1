#include "cloudcli.h"

#include "app/cli.h"
#include "app/appcontext.h"
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

#include "cloudcli.h"

#include "app/cli.h"
#include "cloud/cloudcredentials.h"

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

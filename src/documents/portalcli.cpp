#include "portalcli.h"

#include "app/cli.h"
#include "orders/fileutils.h"
#include "orders/orderscli.h"
#include "orders/vexaorder.h"
#include "uploadtolta.h"

#include <QFile>
#include <QFileInfo>

int cliOrderXml(CliCall &call)
{
    QString account;
    const int at = call.args.indexOf(QStringLiteral("--account"));
    if (at >= 0) {
        account = call.args.value(at + 1);
        call.args.erase(call.args.begin() + at, call.args.begin() + qMin(at + 2, call.args.size()));
        if (account.isEmpty()) {
            call.err << "usage: lattica-cli order xml [--data DIR] [--account CODE] FILE_OR_ID\n";
            return 2;
        }
    }
    if (call.args.size() != 1) {
        call.err << "usage: lattica-cli order xml [--data DIR] [--account CODE] FILE_OR_ID\n";
        return 2;
    }
    const QString path = cliOrderPath(call.args.first(), call.err);
    if (path.isEmpty())
        return 1;
    // the export's own file in "tmp", printed as written
    UploadToLTA exporter;
    const QString error = exporter.orderToXml(path, account);
    if (!error.isEmpty()) {
        call.err << "lattica-cli: " << error << '\n';
        return 1;
    }
    QFile file(exporter.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        call.err << "lattica-cli: cannot read " << file.fileName() << ": " << file.errorString() << '\n';
        return 1;
    }
    call.out.flush();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(file.readAll()) != file.size())
        return 1;
    out.flush();
    return 0;
}

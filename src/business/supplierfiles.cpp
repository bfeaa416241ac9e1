#include "business/supplierfiles.h"

#include "app/appcontext.h"
#include "business/businesslookup.h"
#include "cloud/ediconnection.h"
#include "cloud/filetransfer.h"
#include "pricing/csvtable.h"

#include <QDebug>
#include <QEventLoop>
#include <QTemporaryFile>
#include <cmath>

namespace {

// The part of a transfer error after the remote file's name.
QString detail(const QString &transferError)
{
    const int at = transferError.indexOf(QLatin1String(".txt: "));
    return at < 0 ? transferError : transferError.mid(at + 6);
}

// Qt says a missing FTP file "is not retrievable"; other servers "cannot find".
bool isMissingFile(const QString &text)
{
    return text.contains(QLatin1String("cannot find"), Qt::CaseInsensitive)
           || text.contains(QLatin1String("is not retrievable"), Qt::CaseInsensitive);
}

QString decode(const QByteArray &body)
{
    // The supplier's files are plain text; accept UTF-8, else take Latin-1.
    const QString utf8 = QString::fromUtf8(body);
    if (utf8.contains(QChar::ReplacementCharacter) && !body.contains("\xEF\xBF\xBD"))
        return QString::fromLatin1(body);
    return utf8;
}

} // namespace

QString fetchSupplierFile(const SupplierItem &supplier, const QString &path, QByteArray *body)
{
    FileTransfer transfer;
    QEventLoop loop;
    QObject::connect(&transfer, &FileTransfer::finished, &loop, &QEventLoop::quit);
    transfer.append(ediAddress(supplier, QStringLiteral("ftp"), path), FileTransfer::Get);
    loop.exec();
    *body = transfer.data();
    return transfer.error();
}

QString addressFetchError(const QString &transferError, const QString &number)
{
    if (transferError.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return QStringLiteral("Failed to fetch address data: Timed out\n") + detail(transferError)
               + QStringLiteral("\nDo you have an internet connection?");
    if (isMissingFile(transferError))
        return QStringLiteral("Failed to find data for customer num ") + number + QStringLiteral("\nIs the number correct?");
    return QStringLiteral("Failed to get data for this customer number.\n") + detail(transferError);
}

AccountAddresses parseAccountAddresses(const QByteArray &body, const QString &number)
{
    AccountAddresses result;
    const QString text = decode(body);
    if (!text.startsWith(QLatin1String("\"Account Number\""))) {
        result.error = QStringLiteral("Invalid data for this accountID. Contact support");
        return result;
    }
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.isEmpty()) {
        result.error = QStringLiteral("Address data from Heldon is missing data for: ") + number;
        return result;
    }
    // an "M" number stands for a group of accounts, whose numbers differ
    if (!isMAccountNumber(number)
        && (lines.size() < 2 || !lines.at(1).startsWith(QLatin1Char('"') + number + QLatin1Char('"')))) {
        result.error = QStringLiteral("Address data from Heldon does not contain the account id ") + number;
        return result;
    }
    for (int i = 1; i < lines.size(); ++i) {
        QStringList fields = lines.at(i).split(QStringLiteral("\",\""));
        if (fields.size() < 11)
            continue;
        for (QString &f : fields) {
            f.remove(QLatin1Char('"'));
            f.remove(QLatin1Char('\r'));
        }
        if (fields.at(0) == QLatin1String("Account Number"))
            continue; // a repeated header
        // the number becomes part of stored keys and later remote paths
        if (!isAccountNumber(fields.at(0))) {
            qWarning() << "Skipped an address line with the account number" << fields.at(0);
            continue;
        }
        if (fields.at(3).isEmpty()) {
            qWarning() << "Skipped an address line without delivery name for" << fields.at(0);
            continue;
        }
        const QString building = fields.at(6).simplified();
        BusinessEntry e;
        e.deliveryName = fields.at(3);
        e.name = fields.at(1);
        e.address = (building.isEmpty() ? QString() : building + QLatin1Char(' '))
                    + QStringList{fields.at(7), fields.at(4), fields.at(5)}.join(QLatin1Char('\n'));
        e.postcode = fields.at(8);
        e.countryID = fields.at(9);
        e.locationID = fields.at(2);
        e.isPrimary = fields.at(10).contains(QLatin1Char('1'));
        result.entries[fields.at(0)].append(e);
        result.names[fields.at(0)] = fields.at(1);
    }
    if (result.entries.isEmpty())
        result.error = QStringLiteral("The data is not valid for ") + number;
    return result;
}

QString leadTimeFetchError(const QString &transferError)
{
    const QString part = detail(transferError);
    // the worker's own text is "Transfer Timed Out": compare without case
    if (part.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return QStringLiteral("Failed to fetch lead time data: Timed out\n") + part
               + QStringLiteral("\nDo you have an internet connection?");
    if (isMissingFile(part))
        return QStringLiteral("Failed to find the lead time file file.");
    return QStringLiteral("Failed to get lead time.\n") + part;
}

QString parseLeadTime(const QByteArray &body, int *days)
{
    if (body.size() >= 11)
        qDebug() << "lead time data" << body.left(200);
    if (!body.startsWith("\"Item Number\""))
        return QStringLiteral("Invalid Stock data. Contact support");
    // read through the catalogue's CSV reader, which wants a file
    QTemporaryFile file(AppContext::dataFolder + QStringLiteral("/tmp/stockXXXXXX.csv"));
    if (!file.open() || file.write(body) != body.size() || !file.flush())
        return QStringLiteral("Failed to get lead time.\n") + file.errorString();
    const CsvTable table(file.fileName());
    const QStringList values = table.column(table.columnIndex(QStringLiteral("\"lead time\"")));
    bool ok = false;
    const double value = values.value(0).trimmed().toDouble(&ok);
    if (values.isEmpty() || !ok || !std::isfinite(value) || std::fabs(value) > 1e6)
        return QStringLiteral("Failed to find Lead Time in StockV2");
    *days = int(std::trunc(value));
    return QString();
}

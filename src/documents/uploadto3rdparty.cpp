#include "uploadto3rdparty.h"

#include "cloud/filetransfer.h"
#include "documents/ftpput.h"
#include "orders/fileutils.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <cmath>

UploadTo3rdParty::UploadTo3rdParty(QObject *parent)
    : QObject(parent)
{
}

QString UploadTo3rdParty::uploadData(const QString &remotePath)
{
    if (!QFileInfo::exists(m_filePath)) {
        qDebug() << "uploadData" << m_filePath << "does not exist";
        return m_filePath + QStringLiteral(" does not exist");
    }
    int method;
    if (m_supplier.ediScheme == QLatin1String("ftp"))
        method = FileTransfer::Put;
    else if (m_supplier.ediScheme == QLatin1String("https"))
        method = FileTransfer::Post;
    else
        return QStringLiteral("UploadTo3rdParty: No valid ediScheme");

    const QUrl url = ediAddress(m_supplier, m_supplier.ediScheme, remotePath);
    QString error;
    if (method == FileTransfer::Put) {
        // FTP lets the file appear under its name only once it is whole.
        FtpPut ftp;
        error = ftp.put(url, m_filePath);
        qDebug() << "uploadData error=" << error;
        return error;
    }
    // The HTTPS drop stores a file only from a request it received whole.
    FileTransfer transfer;
    QEventLoop loop;
    connect(&transfer, &FileTransfer::finished, &loop, &QEventLoop::quit);
    transfer.append(url, method, m_filePath);
    qDebug() << "appendUpload" << m_filePath;
    loop.exec();

    error = transfer.error(); // already without the password
    qDebug() << "uploadData error=" << error;
    const int at = error.indexOf(QLatin1String("xml: "));
    if (error.contains(QLatin1String("xml")) && at >= 0)
        error = error.mid(at + 5);
    return error;
}

bool UploadTo3rdParty::jsonFromFile(const QString &path, QJsonObject *out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical() << "Couldn't open Json file" << path;
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return false;
    const QJsonDocument doc = parseJsonDocument(bytes);
    if (doc.isNull() || !doc.isObject()) {
        qCritical() << "! JsonDocFromFile Invalid Json File" << path;
        return false;
    }
    *out = doc.object();
    return true;
}

QString UploadTo3rdParty::jsonInt(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    double d;
    if (v.isDouble()) {
        d = v.toDouble();
    } else if (v.isString()) {
        bool ok;
        d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            return QString();
    } else {
        return QString();
    }
    if (!std::isfinite(d))
        return QString();
    return QString::number(qint64(std::llround(d)));
}

QString UploadTo3rdParty::jsonString(const QJsonObject &object, const QString &key)
{
    const QJsonValue v = object.value(key);
    if (v.isUndefined() || v.isNull())
        return QString();
    if (v.isString())
        return v.toString();
    return v.toVariant().toString();
}

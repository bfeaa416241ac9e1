#pragma once

#include <QHash>
#include <QNetworkRequest>
#include <QObject>

class QNetworkReply;

// A storage connection whose network calls wait (in a local event loop)
// until the reply has finished.
class QCloudConnection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void finished();
    void cloudError();

public slots:
    virtual QNetworkReply *syncGet(const QNetworkRequest &request) = 0;
    virtual QNetworkReply *syncPut(const QNetworkRequest &request, const QByteArray &data) = 0;
    virtual QNetworkReply *syncHead(const QNetworkRequest &request) = 0;
    virtual QNetworkRequest createRequest(const QHash<QString, QString> &params) = 0;
};

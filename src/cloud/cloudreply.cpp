#include "cloudreply.h"

#include "app/appcontext.h"
#include "cloud/qamazonconnection.h"

#include <QNetworkReply>

QString cloudReplyMessage(int networkError, const QString &errorText)
{
    // Even the debugging form leaves out the request address: it carries the
    // signature.
    if (AppContext::setting(QStringLiteral("debug"), false).toBool())
        return QStringLiteral("replyError %1 %2")
            .arg(networkError)
            .arg(QAmazonConnection::cleanErrorString(errorText));
    switch (networkError) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("Failed to connect: Do you have an internet connection?");
    case QNetworkReply::ContentAccessDenied:
        return QStringLiteral("Access denied. Check that your device time is correct. It must be "
                              "within 2 mins of actual time, and account is correct");
    case QNetworkReply::ContentOperationNotPermittedError:
        return QStringLiteral("Connection not permitted. Check that your device time is correct. "
                              "It must be within 2 mins of actual time");
    case QNetworkReply::ContentNotFoundError:
        return QStringLiteral("Failed to find your account or catalogue data in the cloud.");
    default:
        return QAmazonConnection::cleanErrorString(errorText) + QStringLiteral(", (%1)").arg(networkError);
    }
}

bool checkCloudReply(QNetworkReply *reply, bool requireData, QString *message)
{
    if (reply->error() == QNetworkReply::NoError) {
        if (!requireData || reply->bytesAvailable() > 0)
            return true;
        if (message)
            *message = QStringLiteral("Cloud data found but 0 bytes");
        return false;
    }
    if (message)
        *message = cloudReplyMessage(reply->error(), reply->errorString());
    return false;
}

#include "cloudreply.h"

#include "app/appcontext.h"
#include "cloud/qamazonconnection.h"

#include <QHash>
#include <QMetaEnum>
#include <QNetworkReply>

QString networkErrorText(int networkError, int httpStatus)
{
    // Our own words for the code and status: the network layer's text holds
    // the request address, and with it the signature.
    static const QHash<int, const char *> statuses{
        {400, "Bad Request"},        {401, "Unauthorized"},         {403, "Forbidden"},
        {404, "Not Found"},          {405, "Method Not Allowed"},   {409, "Conflict"},
        {411, "Length Required"},    {412, "Precondition Failed"},  {413, "Payload Too Large"},
        {416, "Range Not Satisfiable"}, {429, "Too Many Requests"}, {500, "Internal Server Error"},
        {501, "Not Implemented"},    {502, "Bad Gateway"},          {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
    };
    static const QHash<int, const char *> errors{
        {QNetworkReply::ConnectionRefusedError, "Connection refused"},
        {QNetworkReply::RemoteHostClosedError, "Connection closed by the server"},
        {QNetworkReply::HostNotFoundError, "Host not found"},
        {QNetworkReply::TimeoutError, "Timed out"},
        {QNetworkReply::OperationCanceledError, "Cancelled"},
        {QNetworkReply::SslHandshakeFailedError, "Secure connection failed"},
        {QNetworkReply::TemporaryNetworkFailureError, "Network temporarily unavailable"},
        {QNetworkReply::NetworkSessionFailedError, "No network connection"},
        {QNetworkReply::ProxyConnectionRefusedError, "Proxy refused the connection"},
        {QNetworkReply::ProtocolFailure, "Protocol failure"},
    };
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(networkError);
    const QString code = QStringLiteral("%1 %2").arg(QLatin1String(name ? name : "UnknownError")).arg(networkError);
    if (httpStatus > 0) {
        const char *reason = statuses.value(httpStatus, "Error");
        return QStringLiteral("%1 (HTTP %2, %3)").arg(QLatin1String(reason)).arg(httpStatus).arg(code);
    }
    if (const char *text = errors.value(networkError))
        return QStringLiteral("%1 (%2)").arg(QLatin1String(text), code);
    return QStringLiteral("Network error (%1)").arg(code);
}

QString cloudReplyMessage(int networkError, const QString &detailText)
{
    // whatever a caller hands in, no address leaves here
    const QString detail = QAmazonConnection::cleanErrorString(detailText);
    const QString described = networkErrorText(networkError, 0);
    if (AppContext::setting(QStringLiteral("debug"), false).toBool())
        return QStringLiteral("replyError %1%2").arg(described, detail.isEmpty() ? QString() : QStringLiteral(" ") + detail);
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
        return detail.isEmpty() ? described : detail;
    }
}

bool checkCloudReply(QNetworkReply *reply, bool requireData, QString *message)
{
    if (QAmazonConnection::isOverBudget(reply)) {
        if (message)
            *message = QStringLiteral("The cloud sent more data than expected; it was refused");
        return false;
    }
    if (reply->error() == QNetworkReply::NoError) {
        if (!requireData || reply->bytesAvailable() > 0)
            return true;
        if (message)
            *message = QStringLiteral("Cloud data found but 0 bytes");
        return false;
    }
    if (message)
        *message = cloudReplyMessage(reply->error(), QAmazonConnection::replyErrorText(reply));
    return false;
}

// The check of a customer's e-mail address on the capture screen, by one of
// two outside services.

#include "app/appcontext.h"
#include "cloud/cloudcomms.h"
#include "orders/vexaorder.h"

#include <QDebug>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QUrlQuery>

#ifndef LTA_MG_VALIDATE_KEY
#define LTA_MG_VALIDATE_KEY ""
#endif

namespace {

QString settingOr(const char *key, const char *fallback)
{
    const QString configured = AppContext::setting(QLatin1String(key)).toString().trimmed();
    return configured.isEmpty() ? QString::fromLatin1(fallback) : configured;
}

// A verdict: the result and the text the user sees (empty when none).
struct Verdict
{
    int result;
    QString message;
};

Verdict mailboxCheckVerdict(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (!doc.isObject()) {
        qWarning() << "Failed to load apilayer Json doc" << error.errorString();
        return {0, QString()};
    }
    const QJsonObject o = doc.object();
    if (o.contains(QLatin1String("success")) && !o.value(QLatin1String("success")).toBool()) {
        qWarning() << "checkEmailAddress API error" << body;
        return {0, QString()};
    }
    const double score = o.value(QLatin1String("score")).toDouble();
    if (score >= 0.85)
        return {2, QString()};
    const QString suggestion = o.value(QLatin1String("did_you_mean")).toString();
    const QString suffix = suggestion.isEmpty() ? QString() : QStringLiteral("\nDid you mean: ") + suggestion;
    if (!o.value(QLatin1String("format_valid")).toBool())
        return {-2, QStringLiteral("Invalid email format") + suffix};
    if (!o.value(QLatin1String("mx_found")).toBool())
        return {-1, QStringLiteral("Please check the email domain:") + o.value(QLatin1String("domain")).toString() + suffix};
    if (o.value(QLatin1String("smtp_check")).toBool()) {
        if (score < 0.7 && !suggestion.isEmpty())
            return {1, QStringLiteral("Possibly an invalid email address:") + suffix};
        return {2, QString()};
    }
    const QString user = o.value(QLatin1String("user")).toString();
    return {1, score < 0.8 ? QStringLiteral("No mailbox found for: ") + user
                           : QStringLiteral("Cannot confirm the mailbox for: ") + user};
}

Verdict validationVerdict(const QByteArray &body, const QString &address)
{
    static const QRegularExpression valid(QStringLiteral("\"is_valid\"\\s*:\\s*true"));
    const QString text = QString::fromUtf8(body);
    if (valid.match(text).hasMatch())
        return {2, QString()};
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    QString reason;
    const QJsonValue value = doc.object().value(QLatin1String("reason"));
    if (value.isString())
        reason = value.toString();
    else if (value.isArray() && !value.toArray().isEmpty())
        reason = value.toArray().first().toString();
    if (reason.isEmpty())
        return {-1, QStringLiteral("Invalid email, please check: ") + address};
    if (reason.contains(QLatin1String("no mx "), Qt::CaseInsensitive))
        return {-1, QStringLiteral("Invalid email (the part after the @ is incorrect). ") + address};
    if (reason.contains(QLatin1String("mailbox_does")))
        return {1, QStringLiteral("Invalid email, there is no mailbox for: ") + address};
    qWarning() << " Invalid email";
    return {1, QStringLiteral("Invalid email, please check: ") + address + QStringLiteral(" reason: ") + reason};
}

} // namespace

void CloudComms::mgError(QNetworkReply::NetworkError code)
{
    qDebug() << "NetworkError" << code;
}

int CloudComms::checkEmailAddress(const QString &email)
{
    m_lastMessage.clear();
    if (!AppContext::setting(QStringLiteral("mailchk_b"), true).toBool()) {
        if (m_order)
            m_order->set_mailCheckResult(1);
        return 3;
    }
    const QString address = email.simplified();
    const bool mailService = AppContext::setting(QStringLiteral("mailChkApi_s")).toString() == QLatin1String("mg");

    QUrl url;
    QUrlQuery query;
    QNetworkRequest request;
    if (mailService) {
        url = QUrl(settingOr("mgValidateUrl_s", "https://api.mailgun.net/v3/address/validate"));
        query.addQueryItem(QStringLiteral("address"), address);
        const QByteArray key = settingOr("mgValidateKey_s", LTA_MG_VALIDATE_KEY).toLatin1();
        request.setRawHeader("Authorization", "Basic " + ("api:" + key).toBase64());
    } else {
        url = QUrl(settingOr("mailChkUrl_s", "https://apilayer.net/api/check"));
        query.addQueryItem(QStringLiteral("access_key"), m_mailCheckKey);
        query.addQueryItem(QStringLiteral("email"), address);
        query.addQueryItem(QStringLiteral("smtp"), QStringLiteral("1"));
    }
    // '+' is a space to most servers' query parsers: send it encoded.
    url.setQuery(query.toString(QUrl::FullyEncoded).replace(QLatin1Char('+'), QLatin1String("%2B")));
    request.setUrl(url);
    request.setTransferTimeout(30000);

    // TLS peer verification stays as the network layer has it: on.
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(request);
    connect(reply, &QNetworkReply::errorOccurred, this, &CloudComms::mgError);
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }

    Verdict verdict{0, QString()};
    if (reply->error() != QNetworkReply::NoError) {
        const QString error = reply->errorString();
        qWarning() << "post error" << error;
        if (mailService) {
            verdict.message = error.contains(QLatin1String("not found")) ? QStringLiteral("No internet connection?") : error;
        } else {
            verdict.message = QStringLiteral("Failed to check email: ") + error;
            if (error.contains(QLatin1String("not found")) || reply->error() == QNetworkReply::UnknownNetworkError)
                verdict.message += QStringLiteral(" No internet connection?");
        }
    } else {
        const QByteArray body = reply->readAll();
        verdict = mailService ? validationVerdict(body, address) : mailboxCheckVerdict(body);
    }
    delete reply;

    if (m_order)
        m_order->set_mailCheckResult(verdict.result);
    m_lastMessage = verdict.message;
    if (!m_lastMessage.isEmpty())
        emit asyncResult(m_lastMessage);
    return verdict.result;
}

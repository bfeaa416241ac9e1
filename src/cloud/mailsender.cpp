#include "mailsender.h"

#include "app/appcontext.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QUrlQuery>

namespace {

void addField(QHttpMultiPart *form, const QString &name, const QString &value)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QStringLiteral("form-data; name=\"%1\"").arg(name));
    part.setBody(value.toUtf8());
    form->append(part);
}

// Waits for a reply, at most timeoutMs; a reply still running then is aborted.
void waitFor(QNetworkReply *reply, int timeoutMs)
{
    if (reply->isFinished())
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, reply, &QNetworkReply::abort);
    timer.start(timeoutMs);
    loop.exec();
}

// How long an event log request may take.
constexpr int kEventsTimeoutMs = 30000;
// Pages of the event log read at most for one question.
constexpr int kMaxEventPages = 20;
// How far before the intent the log is searched: the intent's time comes
// from this computer's clock, the log's from the service's.
constexpr qint64 kClockMarginSecs = 24 * 3600;

} // namespace

QString MailSender::headerText(const QString &value)
{
    QString out;
    out.reserve(value.size());
    bool gap = false;
    for (const QChar c : value) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Other_Control || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph) {
            gap = true;
            continue;
        }
        if (gap && !out.isEmpty() && !out.endsWith(QLatin1Char(' ')) && c != QLatin1Char(' '))
            out += QLatin1Char(' ');
        gap = false;
        out += c;
    }
    return out;
}

QString MailSender::bareAddress(const QString &mailbox)
{
    const int open = mailbox.lastIndexOf(QLatin1Char('<'));
    const int close = mailbox.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open)
        return mailbox.mid(open + 1, close - open - 1).trimmed();
    return mailbox.trimmed();
}

QUrl MailSender::eventsEndpoint()
{
    QUrl url = endpoint();
    // the message path is "/v3/<domain>/messages": its log sits beside it
    QString path = url.path();
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    path = (slash >= 0 ? path.left(slash) : QString()) + QStringLiteral("/events");
    url.setPath(path);
    url.setQuery(QString());
    return url;
}

MailSender::MailSender(const QByteArray &mailCredential, QObject *parent)
    : QObject(parent)
    , m_credential(mailCredential)
{
}

const char *MailSender::defaultEndpoint()
{
    return "https://api.mailgun.net/v3/mg.lattica.app/messages";
}

QUrl MailSender::endpoint()
{
    const QString configured = AppContext::setting(QStringLiteral("ltaurl")).toString().trimmed();
    return QUrl(configured.isEmpty() ? QString::fromLatin1(defaultEndpoint()) : configured);
}

void MailSender::mgError(QNetworkReply::NetworkError code)
{
    qDebug() << "NetworkError" << code;
}

bool MailSender::sendMail(const QString &to, const QString &replyTo, const QString &from,
                          const QString &subject, const QString &body,
                          const QStringList &attachments, const QString &cc)
{
    m_lastMessage.clear();
    m_outcome = Refused;
    m_status = 0;
    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    addField(form, QStringLiteral("to"), headerText(to));
    if (!headerText(cc).isEmpty())
        addField(form, QStringLiteral("cc"), headerText(cc));
    addField(form, QStringLiteral("subject"), headerText(subject));
    if (!headerText(from).isEmpty())
        addField(form, QStringLiteral("from"), headerText(from));
    if (!headerText(replyTo).isEmpty())
        addField(form, QStringLiteral("h:Reply-To"), headerText(replyTo));
    for (auto it = m_variables.cbegin(); it != m_variables.cend(); ++it)
        addField(form, QStringLiteral("v:") + it.key(), headerText(it.value()));
    if (body.contains(QLatin1String("<!doctype html"), Qt::CaseInsensitive)) {
        addField(form, QStringLiteral("html"), body);
        addField(form, QStringLiteral("text"), QTextDocumentFragment::fromHtml(body).toPlainText());
    } else {
        addField(form, QStringLiteral("text"), body);
    }
    for (const QString &entry : attachments) {
        const int sep = entry.indexOf(QLatin1Char(';'));
        const QString path = sep < 0 ? entry : entry.left(sep);
        // The name goes into the part's header inside quotes: a quote or a
        // line break there would end the header early.
        QString name = sep < 0 ? QString() : entry.mid(sep + 1);
        name.remove(QLatin1Char('"'));
        name.remove(QLatin1Char('\r'));
        name.remove(QLatin1Char('\n'));
        name = headerText(name);
        auto *file = new QFile(path, form);
        if (!file->open(QIODevice::ReadOnly)) {
            qWarning() << "Mail attachment not readable" << path;
            delete file;
            continue;
        }
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
        part.setRawHeader("Content-Disposition",
                          QStringLiteral("form-data; name=\"attachment\"; filename=\"%1\"").arg(name).toUtf8());
        part.setBodyDevice(file);
        form->append(part);
    }

    QNetworkRequest request(endpoint());
    request.setRawHeader("Authorization", "Basic " + m_credential.toBase64());

    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.post(request, form);
    form->setParent(reply);
    connect(reply, &QNetworkReply::errorOccurred, this, &MailSender::mgError);
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }

    bool sent = false;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_status = status.isValid() ? status.toInt() : 0;
    if (reply->error() != QNetworkReply::NoError) {
        // An answer from the service, or no connection at all, means it did
        // not take the message; anything else may have reached it.
        const QNetworkReply::NetworkError code = reply->error();
        m_outcome = m_status != 0 || code == QNetworkReply::ConnectionRefusedError
                            || code == QNetworkReply::HostNotFoundError
                        ? Refused
                        : Unknown;
        m_lastMessage = reply->errorString();
        qWarning() << "post error" << m_lastMessage;
        if (m_lastMessage.contains(QLatin1String("not found")))
            m_lastMessage = QStringLiteral("No internet connection?");
        emit asyncResult(m_lastMessage);
    } else {
        const QByteArray answer = reply->readAll();
        qInfo() << "Success" << answer;
        if (!answer.contains("Queued")) {
            m_lastMessage = QString::fromUtf8(answer);
            qWarning() << "Not queued";
            emit asyncResult(m_lastMessage);
        } else {
            sent = true;
            m_outcome = Accepted;
        }
    }
    delete reply;
    return sent;
}

MailSender::LogAnswer MailSender::wasAccepted(const QString &to, const QString &subject, const QString &variable,
                                              const QString &value, const QDateTime &since)
{
    m_lastMessage.clear();
    const QString recipient = bareAddress(headerText(to));
    const QString wantedSubject = headerText(subject);
    QString phrase = wantedSubject;
    phrase.remove(QLatin1Char('"')); // a quote would end the filter's phrase
    QUrl url = eventsEndpoint();
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("event"), QStringLiteral("accepted"));
    query.addQueryItem(QStringLiteral("recipient"), recipient);
    if (!phrase.trimmed().isEmpty())
        query.addQueryItem(QStringLiteral("subject"), QLatin1Char('"') + phrase + QLatin1Char('"'));
    query.addQueryItem(QStringLiteral("begin"), QString::number(since.toSecsSinceEpoch() - kClockMarginSecs));
    query.addQueryItem(QStringLiteral("ascending"), QStringLiteral("yes"));
    query.addQueryItem(QStringLiteral("limit"), QStringLiteral("300"));
    // "+" and "@" must reach the service as themselves, not as a blank
    url.setQuery(query.query(QUrl::FullyEncoded).replace(QLatin1Char('+'), QLatin1String("%2B")), QUrl::StrictMode);

    QNetworkAccessManager manager;
    for (int page = 0; page < kMaxEventPages; ++page) {
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", "Basic " + m_credential.toBase64());
        QNetworkReply *reply = manager.get(request);
        waitFor(reply, kEventsTimeoutMs);
        const QByteArray answer = reply->readAll();
        const bool failed = reply->error() != QNetworkReply::NoError;
        const QString error = reply->errorString();
        delete reply;
        if (failed) {
            m_lastMessage = error;
            qWarning() << "mail events error" << error;
            return CannotTell;
        }
        const QJsonObject doc = QJsonDocument::fromJson(answer).object();
        if (!doc.value(QStringLiteral("items")).isArray()) {
            m_lastMessage = QStringLiteral("The mail service's event log gave no list of events");
            qWarning() << "mail events: no items" << answer.left(200);
            return CannotTell;
        }
        const QJsonArray items = doc.value(QStringLiteral("items")).toArray();
        for (const QJsonValue &v : items) {
            const QJsonObject item = v.toObject();
            const QJsonObject headers =
                item.value(QStringLiteral("message")).toObject().value(QStringLiteral("headers")).toObject();
            if (item.value(QStringLiteral("event")).toString() == QLatin1String("accepted")
                && item.value(QStringLiteral("recipient")).toString().compare(recipient, Qt::CaseInsensitive) == 0
                && headers.value(QStringLiteral("subject")).toString() == wantedSubject
                && item.value(QStringLiteral("user-variables")).toObject().value(variable).toString() == value)
                return LoggedAccepted;
        }
        const QUrl next(doc.value(QStringLiteral("paging")).toObject().value(QStringLiteral("next")).toString());
        if (items.isEmpty() || !next.isValid() || next.isEmpty())
            return NotLogged;
        // the next page must stay with the same service
        if (next.host() != url.host() || next.port(-1) != url.port(-1) || next.scheme() != url.scheme()) {
            m_lastMessage = QStringLiteral("The mail service's event log pointed elsewhere");
            return CannotTell;
        }
        url = next;
    }
    m_lastMessage = QStringLiteral("The mail service's event log holds too many events to search");
    return CannotTell;
}

#include "mailsender.h"

#include "app/appcontext.h"

#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QTextDocumentFragment>

namespace {

void addField(QHttpMultiPart *form, const QString &name, const QString &value)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QStringLiteral("form-data; name=\"%1\"").arg(name));
    part.setBody(value.toUtf8());
    form->append(part);
}

} // namespace

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
    auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    addField(form, QStringLiteral("to"), to);
    if (!cc.isEmpty())
        addField(form, QStringLiteral("cc"), cc);
    addField(form, QStringLiteral("subject"), subject);
    if (!from.isEmpty())
        addField(form, QStringLiteral("from"), from);
    if (!replyTo.isEmpty())
        addField(form, QStringLiteral("h:Reply-To"), replyTo);
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
    if (reply->error() != QNetworkReply::NoError) {
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
        }
    }
    delete reply;
    return sent;
}

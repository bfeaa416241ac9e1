#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Sends one message through the mail web API as a multipart form, authorised
// with the mail credential ("api:KEY"). The call waits for the reply.
class MailSender : public QObject
{
    Q_OBJECT
public:
    explicit MailSender(const QByteArray &mailCredential, QObject *parent = nullptr);

    // replyTo, from and cc are left out when empty; attachments are
    // "local path;attachment name". True when the service queued the message;
    // otherwise lastMessage() tells why (also emitted through asyncResult).
    bool sendMail(const QString &to, const QString &replyTo, const QString &from,
                  const QString &subject, const QString &body,
                  const QStringList &attachments = QStringList(), const QString &cc = QString());

    QString lastMessage() const { return m_lastMessage; }

    // The message endpoint: setting "ltaurl", or the service's default.
    static QUrl endpoint();
    static const char *defaultEndpoint();

signals:
    void asyncResult(const QString &text);

public slots:
    void mgError(QNetworkReply::NetworkError code);

private:
    QByteArray m_credential;
    QString m_lastMessage;
};

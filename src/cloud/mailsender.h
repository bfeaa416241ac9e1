#pragma once

#include <QDateTime>
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
    // What is known about a message after sendMail.
    enum Outcome {
        Accepted, // the service queued it
        Refused,  // the service answered no, or was never reached: not sent
        Unknown   // the request may have reached the service: ask its event log
    };
    // What the service's event log says about one message.
    enum LogAnswer { LoggedAccepted, NotLogged, CannotTell };

    explicit MailSender(const QByteArray &mailCredential, QObject *parent = nullptr);

    // replyTo, from and cc are left out when empty; attachments are
    // "local path;attachment name". Header values lose their control
    // characters. True when the service queued the message; otherwise
    // lastMessage() tells why (also emitted through asyncResult).
    bool sendMail(const QString &to, const QString &replyTo, const QString &from,
                  const QString &subject, const QString &body,
                  const QStringList &attachments = QStringList(), const QString &cc = QString());

    // A custom variable ("v:NAME") sent with the next messages; the service
    // keeps it with the message's events.
    void setVariable(const QString &name, const QString &value) { m_variables.insert(name, value); }

    // Asks the service's event log whether it accepted a message to `to`
    // with exactly this subject, carrying the variable name=value, at or
    // after `since` (less a margin for the clock of this computer).
    LogAnswer wasAccepted(const QString &to, const QString &subject, const QString &variable,
                          const QString &value, const QDateTime &since);

    QString lastMessage() const { return m_lastMessage; }
    Outcome outcome() const { return m_outcome; }
    // The HTTP status of the last answer, 0 when none came.
    int status() const { return m_status; }

    // The message endpoint: setting "ltaurl", or the service's default.
    static QUrl endpoint();
    static const char *defaultEndpoint();
    // The event log of the same sending domain: "/v3/<domain>/events".
    static QUrl eventsEndpoint();
    // A header value without CR, LF or other control characters (a run of
    // them between words becomes one blank; blanks of the value stay), so
    // no text can add a header of its own.
    static QString headerText(const QString &value);
    // The bare address of "Name <address>" (or the text itself).
    static QString bareAddress(const QString &mailbox);

signals:
    void asyncResult(const QString &text);

public slots:
    void mgError(QNetworkReply::NetworkError code);

private:
    QByteArray m_credential;
    QString m_lastMessage;
    Outcome m_outcome = Refused;
    int m_status = 0;
    QMap<QString, QString> m_variables;
};

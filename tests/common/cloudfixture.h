#pragma once

// What the tests of the cloud, business and document code share: the usual
// includes, the test store's objects read and written past the code under
// test, and a device signed in to the test servers.
#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/textcipher.h"
#include "cloud/cloudcredentials.h"
#include "cloud/qamazonconnection.h"
#include "testenv.h"
#include "testservers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace CloudFixture {

inline QString sealed(const QByteArray &secret = S3TestServer::kSecret, const QByteArray &mail = "api:k")
{
    return QString(CloudCredentials::seal(S3TestServer::kKeyId, secret, mail));
}

// Several settings at once; works for QSettings and the program's appSettings.
template <class Settings>
void setValues(Settings *settings, const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings->setValue(it.key(), it.value());
    settings->sync();
}
inline void setUser(const QVariantMap &values) { setValues(AppContext::userSettings(), values); }
// User settings as text, "-" where unset.
inline QStringList userValues(const QStringList &keys)
{
    QStringList out;
    for (const QString &key : keys)
        out << AppContext::userSettings()->value(key, "-").toString();
    return out;
}

// The supplier's edi.cfg, its server on 127.0.0.1 and the password stored
// enciphered as the configuration brings it.
inline void writeEdi(const QString &scheme, const QString &userName, const QString &password, QVariantMap more = {})
{
    QSettings edi(AppContext::cfgFolder + "/edi.cfg", QSettings::IniFormat);
    more.insert({{"ediScheme", scheme}, {"ediAddress", "127.0.0.1"}, {"ediUserName", userName},
                 {"ediUserPass", QString::fromLatin1(encryptText(password.toUtf8()).toBase64())}});
    setValues(&edi, more);
}

// Objects of the S3 test server, seen directly.
struct Store
{
    std::unique_ptr<QAmazonConnection> conn;
    void open(const S3TestServer &s3) { conn.reset(new QAmazonConnection(S3TestServer::kKeyId, S3TestServer::kSecret, s3.endpoint())); }
    QByteArray get(const QString &key, const QString &bucket = "lattica") const
    {
        QNetworkReply *reply = conn->getFile(bucket.toLatin1(), key.toUtf8());
        return reply->error() == QNetworkReply::NoError ? reply->readAll() : "<missing>";
    }
    // Returns the failure, empty when stored: wrap in QVERIFY2(...isEmpty()).
    QString put(const QString &key, const QByteArray &body, const QString &bucket = "lattica") const
    {
        QNetworkReply *reply = conn->putFile(key, bucket, body, false);
        return reply->error() == QNetworkReply::NoError ? QString() : key + ": " + reply->errorString();
    }
};

// A field of a message the mail test server received.
inline QString mailField(const QJsonObject &message, const QString &name)
{
    for (const QJsonValue &v : message.value("parts").toArray())
        if (v.toObject().value("name").toString() == name)
            return QString::fromUtf8(QByteArray::fromBase64(v.toObject().value("body").toString().toLatin1()));
    return "<no " + name + ">";
}

// A fresh installation: emptied user settings, its own data folder, the
// storage server and credentials set; the mail server when given.
inline QTemporaryDir *freshDevice(const S3TestServer &s3, const MailTestServer *mail = nullptr,
                                  const QByteArray &mailCredential = "api:k")
{
    if (appSettings *old = AppContext::userSettings()) {
        old->clear();
        old->sync();
    }
    QTemporaryDir *data = TestEnv::freshDataFolder();
    s3.useInSettings();
    appSettings *user = AppContext::userSettings();
    user->setValue("credblock_s", sealed(S3TestServer::kSecret, mailCredential));
    user->setValue("inetProbeUrl_s", s3.url("/").toString()); // the bucket list: a page with content
    if (mail)
        user->setValue("ltaurl", mail->url("/v3/mg.example/messages").toString());
    return data;
}

// Runs lattica-cli to its end: the exit code (-1: did not finish), its output
// (with its error output when merged) in *out.
inline int runCli(const QStringList &args, QByteArray *out = nullptr, const QByteArray &input = QByteArray(), bool merged = false,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.setProcessChannelMode(merged ? QProcess::MergedChannels : QProcess::SeparateChannels);
    cli.start(LTA_BINARY_DIR "/src/lattica-cli", args);
    cli.write(input);
    cli.closeWriteChannel();
    const bool finished = cli.waitForFinished(60000) && cli.exitStatus() == QProcess::NormalExit;
    if (out)
        *out = cli.readAllStandardOutput();
    return finished ? cli.exitCode() : -1;
}

} // namespace CloudFixture

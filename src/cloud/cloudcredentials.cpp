#include "cloudcredentials.h"

#include "app/appcontext.h"
#include "app/appsettings.h"
#include "app/textcipher.h"
#include "cloud/qamazonconnection.h"

#include <QDebug>
#include <QRegularExpression>

#ifndef LTA_CREDENTIAL_BLOCK
#define LTA_CREDENTIAL_BLOCK ""
#endif

namespace {
// Enciphered size: version, flags, random byte, SHA-1, then the payload.
constexpr int kBlockBytes = 128;
constexpr int kPayloadBytes = kBlockBytes - 3 - 20;
} // namespace

QString CloudCredentials::decipher(const QByteArray &hexBlock)
{
    *this = CloudCredentials();
    const QByteArray trimmed = hexBlock.trimmed();
    QByteArray plain;
    int error = TextCipher::ErrorUnknownVersion;
    // Anything but whole hexadecimal bytes is not a block at all.
    static const QRegularExpression hex(QStringLiteral("^([0-9a-fA-F]{2})+$"));
    const bool ok = hex.match(QString::fromLatin1(trimmed)).hasMatch()
                    && decryptText(QByteArray::fromHex(trimmed), &plain, &error);
    if (!ok) {
        const QString message = QStringLiteral("Security file decrypt failure: %1").arg(error);
        qDebug().noquote() << message;
        return message;
    }
    const QList<QByteArray> fields = plain.split(',');
    storageKeyId = fields.value(0).trimmed();
    storageSecret = fields.value(1).trimmed();
    mailCredential = fields.value(2).trimmed(); // the block is padded with blanks
    return QString();
}

QByteArray CloudCredentials::seal(const QByteArray &keyId, const QByteArray &secret,
                                  const QByteArray &mailCredential, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QByteArray();
    };
    if (keyId.contains(',') || secret.contains(',') || mailCredential.contains(','))
        return fail(QStringLiteral("a credential may not contain \",\""));
    if (keyId.isEmpty() || secret.isEmpty())
        return fail(QStringLiteral("the storage key id and secret are required"));
    QByteArray plain = keyId + ',' + secret + ',' + mailCredential;
    if (plain.size() > kPayloadBytes)
        return fail(QStringLiteral("credentials longer than %1 bytes do not fit a block").arg(kPayloadBytes));
    // Blanks pad every block to the same size; readers trim them.
    plain = plain.leftJustified(kPayloadBytes, ' ');
    return encryptText(plain, TextCipher::CompressionNever).toHex();
}

QByteArray CloudCredentials::builtInBlock()
{
    return QByteArray(LTA_CREDENTIAL_BLOCK);
}

QByteArray CloudCredentials::controllerBlock()
{
    const QString configured = AppContext::setting(QStringLiteral("credblock_s")).toString().trimmed();
    return configured.isEmpty() ? builtInBlock() : configured.toLatin1();
}

QByteArray CloudCredentials::settingsSyncBlock()
{
    appSettings *user = AppContext::userSettings();
    if (user && user->contains(QStringLiteral("allweddi")))
        return user->value(QStringLiteral("allweddi")).toString().toLatin1();
    return builtInBlock();
}

QAmazonConnection *createCloudConnection(const QByteArray &hexBlock, QString *message,
                                         CloudCredentials *credentials, QObject *parent)
{
    CloudCredentials creds;
    const QString failure = creds.decipher(hexBlock);
    if (message)
        *message = failure;
    if (credentials)
        *credentials = creds;
    if (!failure.isEmpty())
        return nullptr;
    return new QAmazonConnection(creds.storageKeyId, creds.storageSecret, parent);
}

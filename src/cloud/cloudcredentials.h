#pragma once

#include <QByteArray>
#include <QString>

class QAmazonConnection;
class QObject;

// The three credentials of the cloud services, kept as one enciphered block
// of hexadecimal digits (deciphered with decryptText).
struct CloudCredentials
{
    QByteArray storageKeyId;
    QByteArray storageSecret;
    QByteArray mailCredential; // "api:KEY", for the mail web API

    // Deciphers a block. Returns "" on success, otherwise the controller's
    // message "Security file decrypt failure: " + the cipher's error number
    // (the credentials are then left empty).
    QString decipher(const QByteArray &hexBlock);

    // Enciphers the three fields into a block of 256 hexadecimal digits.
    // Returns an empty block (and *error) when they cannot fit or contain ",".
    static QByteArray seal(const QByteArray &keyId, const QByteArray &secret,
                           const QByteArray &mailCredential, QString *error = nullptr);

    // The block the cloud controller uses: the user setting "credblock_s"
    // when set, else the block built into this program (empty unless given
    // at build time).
    static QByteArray controllerBlock();
    // The block of the settings sync: the user setting "allweddi" when it
    // exists, else the built-in block.
    static QByteArray settingsSyncBlock();
    static QByteArray builtInBlock();
};

// A storage connection for a credential block, or nullptr when the block does
// not decipher; *message then holds the decipher message, which the caller
// reports instead of attempting any storage operation.
QAmazonConnection *createCloudConnection(const QByteArray &hexBlock, QString *message,
                                         CloudCredentials *credentials = nullptr,
                                         QObject *parent = nullptr);

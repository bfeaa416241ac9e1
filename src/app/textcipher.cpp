#include "textcipher.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QRandomGenerator>
#include <QtEndian>

namespace {
constexpr int kHashSize = 20; // SHA-1
}

TextCipher::TextCipher(quint64 key)
{
    setKey(key);
}

void TextCipher::setKey(quint64 key)
{
    m_key = key;
    for (int i = 0; i < 8; ++i)
        m_keyBytes[i] = char((key >> (8 * i)) & 0xff);
}

QByteArray TextCipher::encipher(const QByteArray &plain)
{
    if (!hasKey()) {
        qWarning() << "No key set.";
        m_lastError = ErrorNoKey;
        return QByteArray();
    }

    char flags = 0;
    QByteArray payload = plain;
    if (m_compression == CompressionAlways) {
        payload = qCompress(plain, 9);
        flags |= FlagCompressed;
    } else if (m_compression == CompressionAuto) {
        const QByteArray packed = qCompress(plain, 9);
        if (packed.size() < plain.size()) {
            payload = packed;
            flags |= FlagCompressed;
        }
    }

    QByteArray integrity;
    if (m_protection == ProtectionChecksum) {
        flags |= FlagChecksum;
        const quint16 crc = qChecksum(payload.constData(), uint(payload.size()));
        integrity.resize(2);
        qToBigEndian(crc, integrity.data());
    } else if (m_protection == ProtectionHash) {
        flags |= FlagHash;
        integrity = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
    }

    // The random first byte makes equal texts encipher differently.
    QByteArray body;
    body.reserve(1 + integrity.size() + payload.size());
    body.append(char(QRandomGenerator::system()->bounded(256)));
    body.append(integrity);
    body.append(payload);

    char previous = 0;
    for (int i = 0; i < body.size(); ++i) {
        body[i] = char(body.at(i) ^ m_keyBytes[i % 8] ^ previous);
        previous = body.at(i);
    }

    QByteArray out;
    out.reserve(body.size() + 2);
    out.append(kVersion);
    out.append(flags);
    out.append(body);
    m_lastError = ErrorNone;
    return out;
}

QByteArray TextCipher::decipher(const QByteArray &cipher)
{
    if (!hasKey()) {
        qWarning() << "No key set.";
        m_lastError = ErrorNoKey;
        return QByteArray();
    }
    // Too short to hold version, flags and the random byte: not a ciphertext.
    // Reported as such so that empty input never passes for a valid result.
    if (cipher.size() < 3) {
        m_lastError = ErrorUnknownVersion;
        return QByteArray();
    }
    if (cipher.at(0) != kVersion) {
        qWarning() << "Invalid version or not a cyphertext.";
        m_lastError = ErrorUnknownVersion;
        return QByteArray();
    }

    const char flags = cipher.at(1);
    QByteArray body = cipher.mid(2);
    char previous = 0;
    for (int i = 0; i < body.size(); ++i) {
        const char enciphered = body.at(i);
        body[i] = char(enciphered ^ m_keyBytes[i % 8] ^ previous);
        previous = enciphered;
    }
    body.remove(0, 1); // the random byte

    if (flags & FlagChecksum) {
        if (body.size() < 2) {
            m_lastError = ErrorIntegrity;
            return QByteArray();
        }
        const quint16 stored = qFromBigEndian<quint16>(body.constData());
        body.remove(0, 2);
        if (stored != qChecksum(body.constData(), uint(body.size()))) {
            m_lastError = ErrorIntegrity;
            return QByteArray();
        }
    } else if (flags & FlagHash) {
        if (body.size() < kHashSize) {
            m_lastError = ErrorIntegrity;
            return QByteArray();
        }
        const QByteArray stored = body.left(kHashSize);
        body.remove(0, kHashSize);
        if (stored != QCryptographicHash::hash(body, QCryptographicHash::Sha1)) {
            m_lastError = ErrorIntegrity;
            return QByteArray();
        }
    }

    if (flags & FlagCompressed) {
        QByteArray unpacked = qUncompress(body);
        // A compressed body that does not unpack is damaged data, not an empty text.
        if (unpacked.isEmpty() && !body.isEmpty() && body != qCompress(QByteArray(), 9)) {
            m_lastError = ErrorIntegrity;
            return QByteArray();
        }
        body = unpacked;
    }
    m_lastError = ErrorNone;
    return body;
}

bool decryptText(const QByteArray &cipherText, QByteArray *plain, int *error)
{
    TextCipher cipher(kSecurityKey);
    cipher.setProtectionMode(TextCipher::ProtectionHash);
    const QByteArray out = cipher.decipher(cipherText);
    if (error)
        *error = cipher.lastError();
    if (cipher.lastError() != TextCipher::ErrorNone) {
        qDebug().noquote() << QStringLiteral("Security file decrypt failure: %1").arg(int(cipher.lastError()));
        if (plain)
            plain->clear();
        return false;
    }
    if (plain)
        *plain = out;
    return true;
}

QByteArray encryptText(const QByteArray &plain, TextCipher::CompressionMode mode)
{
    TextCipher cipher(kSecurityKey);
    cipher.setProtectionMode(TextCipher::ProtectionHash);
    cipher.setCompressionMode(mode);
    return cipher.encipher(plain);
}

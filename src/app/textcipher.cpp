#include "textcipher.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QRandomGenerator>
#include <QtEndian>

#include <zlib.h>

namespace {
constexpr int kHashSize = 20; // SHA-1

// Unpacks a body in the framework's compressed form (4-byte big-endian size,
// then a zlib stream) without ever holding more than `limit` bytes: the size
// in front is only a hint, so the stream is inflated in chunks and dropped
// as soon as it grows past the limit. False for damaged or oversized data.
bool uncompressBounded(const QByteArray &body, int limit, QByteArray *out)
{
    out->clear();
    if (body.size() <= 4)   // the framework's form of an empty text is 4 zero bytes
        return body.size() == 4 && body == QByteArray(4, '\0');
    if (qFromBigEndian<quint32>(body.constData()) > quint32(limit))
        return false;
    z_stream zs = {};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.constData() + 4));
    zs.avail_in = uInt(body.size() - 4);
    char chunk[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(chunk);
        zs.avail_out = sizeof chunk;
        rc = inflate(&zs, Z_NO_FLUSH);
        const int produced = int(sizeof chunk - zs.avail_out);
        if (out->size() + produced > limit) {
            rc = Z_MEM_ERROR;
            break;
        }
        out->append(chunk, produced);
        if (rc == Z_BUF_ERROR && produced > 0)   // room ran out, not input
            rc = Z_OK;
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) {
        out->clear();
        return false;
    }
    return true;
}
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

    if (flags & FlagCompressed && !body.isEmpty()) {
        // A compressed body that does not unpack, or unpacks to more than any
        // protected text holds, is damaged data, not an empty text.
        QByteArray unpacked;
        if (!uncompressBounded(body, kMaxPlainSize, &unpacked)) {
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
    QByteArray out = cipher.decipher(cipherText);
    // Security files are always written hash-protected and arrive from other
    // machines: a text without the hash would be taken on trust, so it is
    // refused as failing the integrity check.
    if (cipher.lastError() == TextCipher::ErrorNone && !(cipherText.at(1) & TextCipher::FlagHash))
        cipher.markIntegrityFailure();
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

#pragma once

#include <QByteArray>
#include <QtGlobal>

// Small symmetric byte cipher keyed by a 64-bit number, used for protected
// settings, passwords and security files. Output: version byte (3), flags
// byte, then the chained body (random byte, integrity part, payload).
class TextCipher
{
public:
    enum CompressionMode { CompressionAuto = 0, CompressionAlways = 1, CompressionNever = 2 };
    enum ProtectionMode { ProtectionNone = 0, ProtectionChecksum = 1, ProtectionHash = 2 };
    enum Error { ErrorNone = 0, ErrorNoKey = 1, ErrorUnknownVersion = 2, ErrorIntegrity = 3 };

    explicit TextCipher(quint64 key = 0);

    void setKey(quint64 key);
    quint64 key() const { return m_key; }
    bool hasKey() const { return m_key != 0; }

    void setCompressionMode(CompressionMode mode) { m_compression = mode; }
    CompressionMode compressionMode() const { return m_compression; }
    void setProtectionMode(ProtectionMode mode) { m_protection = mode; }
    ProtectionMode protectionMode() const { return m_protection; }

    Error lastError() const { return m_lastError; }
    void markIntegrityFailure() { m_lastError = ErrorIntegrity; }

    QByteArray encipher(const QByteArray &plain);
    QByteArray decipher(const QByteArray &cipher);

    static constexpr char kVersion = 3;
    // Protected texts are passwords, keys and small records: a compressed
    // payload that unpacks to more than this is refused as damaged.
    static constexpr int kMaxPlainSize = 1 << 20;
    enum Flag { FlagCompressed = 0x01, FlagChecksum = 0x02, FlagHash = 0x04 };

private:
    quint64 m_key = 0;
    char m_keyBytes[8] = {};
    CompressionMode m_compression = CompressionAuto;
    ProtectionMode m_protection = ProtectionChecksum;
    Error m_lastError = ErrorNone;
};

// The application's security key: data enciphered by one build can only be
// read by a build with the same key.
constexpr quint64 kSecurityKey = Q_UINT64_C(0x4c7a2e91d03b58f6);

// Deciphers a security-file text (hash protected, security key). On failure
// logs the error number at debug level, leaves *plain empty and returns false;
// *error (when given) receives the cipher's error number.
bool decryptText(const QByteArray &cipherText, QByteArray *plain, int *error = nullptr);
// The counterpart, for writers of security files and protected values.
QByteArray encryptText(const QByteArray &plain,
                       TextCipher::CompressionMode mode = TextCipher::CompressionAuto);

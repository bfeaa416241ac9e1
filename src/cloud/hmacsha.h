#pragma once

#include <QByteArray>
#include <QString>

// HMAC (RFC 2104) over SHA-1 or SHA-256, as Base64 text; signs storage requests.
class HmacSHA
{
public:
    static QString hash(bool useSha256, const QByteArray &message, const QByteArray &key);
};

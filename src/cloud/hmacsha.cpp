#include "hmacsha.h"

#include <QCryptographicHash>

QString HmacSHA::hash(bool useSha256, const QByteArray &message, const QByteArray &key)
{
    constexpr int blockSize = 64;
    const QCryptographicHash::Algorithm algorithm =
        useSha256 ? QCryptographicHash::Sha256 : QCryptographicHash::Sha1;

    QByteArray k = key;
    if (k.size() > blockSize)
        k = QCryptographicHash::hash(k, algorithm);
    k = k.leftJustified(blockSize, '\0');

    QByteArray innerPad(blockSize, '\0');
    QByteArray outerPad(blockSize, '\0');
    for (int i = 0; i < blockSize; ++i) {
        innerPad[i] = char(k.at(i) ^ 0x36);
        outerPad[i] = char(k.at(i) ^ 0x5c);
    }
    const QByteArray inner = QCryptographicHash::hash(innerPad + message, algorithm);
    return QString::fromLatin1(QCryptographicHash::hash(outerPad + inner, algorithm).toBase64());
}

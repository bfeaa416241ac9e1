#include "app/textcipher.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <QtTest>

namespace {
constexpr quint64 kKey = Q_UINT64_C(0x0123456789abcdef);

TextCipher cipher(int compression, int protection)
{
    TextCipher c(kKey);
    c.setCompressionMode(TextCipher::CompressionMode(compression));
    c.setProtectionMode(TextCipher::ProtectionMode(protection));
    return c;
}

// A ciphertext made from the format alone, as another writer makes it: byte i
// of the body is XORed with key byte (i mod 8), low byte first, and with the
// previous enciphered byte.
QByteArray foreign(char flags, QByteArray body)
{
    char previous = 0;
    for (int i = 0; i < body.size(); ++i)
        previous = body[i] = char(body.at(i) ^ char((kKey >> (8 * (i % 8))) & 0xff) ^ previous);
    return QByteArray(1, 3) + flags + body;
}
} // namespace

class TestTextCipher : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("protection");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<bool>("compressed");
        const QByteArray binary = QCryptographicHash::hash("seed", QCryptographicHash::Sha512); // incompressible
        for (int c = 0; c < 3; ++c) { // auto, always, never
            for (int p = 0; p < 3; ++p) { // none, checksum, hash
                // automatic mode keeps the compressed form only when shorter
                QTest::addRow("c%d/p%d/repetitive", c, p) << c << p << QByteArray("order line, shutter, 1200 x 900;").repeated(40) << (c != 2);
                QTest::addRow("c%d/p%d/short", c, p) << c << p << QByteArray("pw!") << (c == 1);
                QTest::addRow("c%d/p%d/binary", c, p) << c << p << binary << (c == 1);
                QTest::addRow("c%d/p%d/empty", c, p) << c << p << QByteArray() << (c == 1);
            }
        }
    }

    void roundTrip()
    {
        QFETCH(int, compression);
        QFETCH(int, protection);
        QFETCH(QByteArray, plain);
        QFETCH(bool, compressed);
        const QByteArray enciphered = cipher(compression, protection).encipher(plain);
        QVERIFY(enciphered.size() >= 3 && enciphered.at(0) == 3);
        QCOMPARE(enciphered.at(1) & 0x07, (compressed ? 1 : 0) | (protection == 1 ? 2 : 0) | (protection == 2 ? 4 : 0));
        QVERIFY(compressed || plain.isEmpty() || !enciphered.contains(plain.left(16)));
        // a reader with default modes follows the flags, not its own settings
        TextCipher reader(kKey);
        QCOMPARE(reader.decipher(enciphered), plain);
        QCOMPARE(reader.lastError(), TextCipher::ErrorNone);
        if (protection == 0)
            return;
        // protected: every byte after the flags changed in a few ways is refused, and so is another key
        for (int pos = 2; pos < enciphered.size(); ++pos) {
            for (char delta : {char(0x01), char(0x80), char(0x5a)}) {
                QByteArray bad = enciphered;
                bad[pos] = char(bad.at(pos) ^ delta);
                TextCipher fresh(kKey);
                QVERIFY2(fresh.decipher(bad).isEmpty() && fresh.lastError() == TextCipher::ErrorIntegrity,
                         qPrintable(QStringLiteral("byte %1 changed by %2 passed").arg(pos).arg(int(uchar(delta)))));
            }
        }
        TextCipher other(~kKey);
        QVERIFY(other.decipher(enciphered).isEmpty() && other.lastError() == TextCipher::ErrorIntegrity);
    }

    void format()
    {
        // what another writer produced is read: random byte, integrity part, payload
        const QByteArray p = "C123456,api:0f0f";
        QByteArray crc(2, 0);
        qToBigEndian<quint16>(qChecksum(p.constData(), uint(p.size())), crc.data());
        TextCipher reader(kKey);
        QCOMPARE(reader.decipher(foreign(2, "\x5a" + crc + p)), p);
        QCOMPARE(reader.decipher(foreign(4, "\x5a" + QCryptographicHash::hash(p, QCryptographicHash::Sha1) + p)), p);
        QCOMPARE(reader.decipher(foreign(1, "\x5a" + qCompress(p, 9))), p);
        // the random first byte makes the same text encipher differently
        const QByteArray a = reader.encipher("secret"), b = reader.encipher("secret"), c = reader.encipher("secret");
        QVERIFY(a != b || a != c || a != reader.encipher("secret"));
    }

    void refused()
    {
        TextCipher versioned(kKey), tooShort(kKey), none;
        QByteArray e = versioned.encipher("text");
        e[0] = 2;
        QTest::ignoreMessage(QtWarningMsg, "Invalid version or not a cyphertext.");
        QVERIFY(versioned.decipher(e).isEmpty() && versioned.lastError() == TextCipher::ErrorUnknownVersion);
        // too short to be a ciphertext: refused, never an empty "success"
        QVERIFY(tooShort.decipher(QByteArray("\x03\x00", 2)).isEmpty() && tooShort.lastError() == TextCipher::ErrorUnknownVersion);
        QTest::ignoreMessage(QtWarningMsg, "No key set.");
        QVERIFY(none.encipher("x").isEmpty() && none.lastError() == TextCipher::ErrorNoKey);
    }

    void decryptText()
    {
        QByteArray plain, damaged = encryptText("edi password");
        int error = -1;
        QVERIFY(::decryptText(damaged, &plain, &error));
        QCOMPARE(plain + QByteArray::number(error), QByteArray("edi password0"));
        damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) ^ 0x20);
        QTest::ignoreMessage(QtDebugMsg, "Security file decrypt failure: 3");
        QVERIFY(!::decryptText(damaged, &plain, &error));
        QCOMPARE(plain + QByteArray::number(error), QByteArray("3"));
    }
};

QTEST_APPLESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"

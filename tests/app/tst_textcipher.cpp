#include "app/textcipher.h"

#include <QCryptographicHash>
#include <QSet>
#include <QtEndian>
#include <QtTest>

namespace {
constexpr quint64 kKey = Q_UINT64_C(0x0123456789abcdef);

// The chain, from the format alone: byte i of the body is XORed with key byte
// (i mod 8), low byte first, and with the previous enciphered byte.
QByteArray chain(QByteArray body, bool undo)
{
    char previous = 0;
    for (int i = 0; i < body.size(); ++i) {
        const char in = body.at(i);
        body[i] = char(in ^ char((kKey >> (8 * (i % 8))) & 0xff) ^ previous);
        previous = undo ? in : body.at(i);
    }
    return body;
}

QByteArray crcOf(const QByteArray &plain)
{
    QByteArray crc(2, 0);
    qToBigEndian<quint16>(qChecksum(plain.constData(), uint(plain.size())), crc.data());
    return crc;
}
} // namespace

class TestTextCipher : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void format();
    void changedByteDetected_data();
    void changedByteDetected();
    void refused();
    void decryptText();
};

void TestTextCipher::roundTrip_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("protection");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<bool>("compressed");
    QByteArray binary; // incompressible
    for (quint32 i = 0, x = 2463534242u; i < 300; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        binary.append(char(x & 0xff));
    }
    const char *cNames[] = {"auto", "always", "never"}, *pNames[] = {"none", "checksum", "hash"};
    for (int c = 0; c < 3; ++c) {
        for (int p = 0; p < 3; ++p) {
            const QByteArray tag = QByteArray(cNames[c]) + "/" + pNames[p];
            // automatic mode keeps the compressed form only when shorter
            QTest::newRow(tag + "/repetitive") << c << p << QByteArray("order line, shutter, 1200 x 900;").repeated(40) << (c != 2);
            QTest::newRow(tag + "/short") << c << p << QByteArray("pw!") << (c == 1);
            QTest::newRow(tag + "/binary") << c << p << binary << (c == 1);
            QTest::newRow(tag + "/empty") << c << p << QByteArray() << (c == 1);
        }
    }
}

void TestTextCipher::roundTrip()
{
    QFETCH(int, compression);
    QFETCH(int, protection);
    QFETCH(QByteArray, plain);
    QFETCH(bool, compressed);
    TextCipher cipher(kKey);
    cipher.setCompressionMode(TextCipher::CompressionMode(compression));
    cipher.setProtectionMode(TextCipher::ProtectionMode(protection));
    const QByteArray enciphered = cipher.encipher(plain);
    QCOMPARE(cipher.lastError(), TextCipher::ErrorNone);
    QVERIFY(enciphered.size() >= 3);
    QCOMPARE(int(enciphered.at(0)), 3);
    QCOMPARE(enciphered.at(1) & 0x07, (compressed ? 1 : 0) | (protection == 1 ? 2 : 0) | (protection == 2 ? 4 : 0));
    QVERIFY(compressed || plain.isEmpty() || !enciphered.contains(plain.left(16)));
    // a reader with default modes follows the flags, not its own settings
    TextCipher reader(kKey);
    QCOMPARE(reader.decipher(enciphered), plain);
    QCOMPARE(reader.lastError(), TextCipher::ErrorNone);
}

void TestTextCipher::format()
{
    // what this build writes, undone by hand
    const QByteArray plain = "Lattica order 2026-12-06";
    TextCipher cipher(kKey);
    cipher.setCompressionMode(TextCipher::CompressionNever);
    cipher.setProtectionMode(TextCipher::ProtectionChecksum);
    QByteArray body = chain(cipher.encipher(plain).mid(2), true);
    QCOMPARE(body.mid(1), crcOf(plain) + plain);
    cipher.setProtectionMode(TextCipher::ProtectionHash);
    body = chain(cipher.encipher(plain).mid(2), true);
    QCOMPARE(body.mid(1), QCryptographicHash::hash(plain, QCryptographicHash::Sha1) + plain);
    // compressed payloads are the framework's form
    cipher.setCompressionMode(TextCipher::CompressionAlways);
    cipher.setProtectionMode(TextCipher::ProtectionNone);
    QCOMPARE(qUncompress(chain(cipher.encipher(plain).mid(2), true).mid(1)), plain);

    // what another writer produced is read: random byte, checksum, payload
    const QByteArray payload = "C123456,api:0f0f";
    QCOMPARE(cipher.decipher(QByteArray("\x03\x02", 2) + chain("\x5a" + crcOf(payload) + payload, false)), payload);
    QCOMPARE(cipher.lastError(), TextCipher::ErrorNone);

    // the random first byte makes the same text encipher differently
    QSet<QByteArray> seen;
    for (int i = 0; i < 8; ++i)
        seen.insert(cipher.encipher("secret"));
    QVERIFY(seen.size() > 1);
}

void TestTextCipher::changedByteDetected_data()
{
    QTest::addColumn<int>("protection");
    QTest::addColumn<int>("compression");
    QTest::newRow("hash") << 2 << 2;
    QTest::newRow("hash/compressed") << 2 << 1;
    QTest::newRow("checksum") << 1 << 2;
    QTest::newRow("checksum/compressed") << 1 << 1;
}

void TestTextCipher::changedByteDetected()
{
    QFETCH(int, protection);
    QFETCH(int, compression);
    TextCipher cipher(kKey);
    cipher.setProtectionMode(TextCipher::ProtectionMode(protection));
    cipher.setCompressionMode(TextCipher::CompressionMode(compression));
    const QByteArray good = cipher.encipher("Kitchen: 2 shutters, white, 89mm louvre");
    // every byte after the flags, each changed in a few ways
    for (int pos = 2; pos < good.size(); ++pos) {
        for (char delta : {char(0x01), char(0x80), char(0x5a)}) {
            QByteArray bad = good;
            bad[pos] = char(bad.at(pos) ^ delta);
            TextCipher reader(kKey);
            QVERIFY2(reader.decipher(bad).isEmpty() && reader.lastError() == TextCipher::ErrorIntegrity,
                     qPrintable(QStringLiteral("byte %1 changed by %2 not detected").arg(pos).arg(int(uchar(delta)))));
        }
    }
    // nor does another key pass
    TextCipher other(kKey + 1);
    QVERIFY(other.decipher(good).isEmpty());
    QCOMPARE(other.lastError(), TextCipher::ErrorIntegrity);
}

void TestTextCipher::refused()
{
    TextCipher cipher(kKey);
    QByteArray e = cipher.encipher("text");
    e[0] = 2;
    QTest::ignoreMessage(QtWarningMsg, "Invalid version or not a cyphertext.");
    QVERIFY(cipher.decipher(e).isEmpty());
    QCOMPARE(cipher.lastError(), TextCipher::ErrorUnknownVersion);
    // too short to be a ciphertext: refused, never an empty "success"
    for (const QByteArray &shortInput : {QByteArray(), QByteArray("\x03"), QByteArray("\x03\x00", 2)}) {
        TextCipher reader(kKey);
        QVERIFY(reader.decipher(shortInput).isEmpty());
        QCOMPARE(reader.lastError(), TextCipher::ErrorUnknownVersion);
    }
    TextCipher none;
    QTest::ignoreMessage(QtWarningMsg, "No key set.");
    QVERIFY(none.encipher("x").isEmpty());
    QCOMPARE(none.lastError(), TextCipher::ErrorNoKey);
    QTest::ignoreMessage(QtWarningMsg, "No key set.");
    QVERIFY(none.decipher(QByteArray("\x03\x02\x10\x11\x12", 5)).isEmpty());
    QCOMPARE(none.lastError(), TextCipher::ErrorNoKey);
}

void TestTextCipher::decryptText()
{
    QByteArray plain;
    int error = -1;
    QVERIFY(::decryptText(encryptText("edi password"), &plain, &error));
    QCOMPARE(plain, QByteArray("edi password"));
    QCOMPARE(error, 0);
    // checksum-only data is accepted too: the flags say what to check
    QVERIFY(::decryptText(TextCipher(kSecurityKey).encipher("x"), &plain));
    QCOMPARE(plain, QByteArray("x"));

    QByteArray damaged = encryptText("edi password");
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) ^ 0x20);
    QTest::ignoreMessage(QtDebugMsg, "Security file decrypt failure: 3");
    QVERIFY(!::decryptText(damaged, &plain, &error));
    QCOMPARE(error, 3);
    QVERIFY(plain.isEmpty());
    // a text under another key does not pass
    TextCipher foreign(kKey);
    foreign.setProtectionMode(TextCipher::ProtectionHash);
    QTest::ignoreMessage(QtDebugMsg, "Security file decrypt failure: 3");
    QVERIFY(!::decryptText(foreign.encipher("x"), &plain));
}

QTEST_APPLESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"

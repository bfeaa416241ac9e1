#include "app/textcipher.h"

#include <QCryptographicHash>
#include <QSet>
#include <QtEndian>
#include <QtTest>

namespace {
constexpr quint64 kKey = Q_UINT64_C(0x0123456789abcdef);

// Undoes the chain by hand, from the format alone: byte i of the body is
// XORed with key byte (i mod 8), taken low byte first, and with the previous
// enciphered byte.
QByteArray unchain(const QByteArray &cipher, quint64 key)
{
    QByteArray body = cipher.mid(2);
    char previous = 0;
    for (int i = 0; i < body.size(); ++i) {
        const char c = body.at(i);
        body[i] = char(c ^ char((key >> (8 * (i % 8))) & 0xff) ^ previous);
        previous = c;
    }
    return body;
}

QByteArray incompressible(int size)
{
    QByteArray b;
    quint32 x = 2463534242u;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b.append(char(x & 0xff));
    }
    return b;
}
} // namespace

class TestTextCipher : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void layoutFollowsFormat_data();
    void layoutFollowsFormat();
    void readsHandBuiltCiphertext();
    void sameTextEnciphersDifferently();
    void changedByteDetected_data();
    void changedByteDetected();
    void refusesWrongVersionAndShortInput();
    void noKeyAndWrongKey();
    void decryptText();
};

void TestTextCipher::roundTrip_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<int>("protection");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<bool>("compressed");

    const QByteArray repetitive = QByteArray("order line, shutter, 1200 x 900;").repeated(40);
    const QByteArray shortText = "pw!";
    const QByteArray binary = incompressible(300);
    const char *cNames[] = {"auto", "always", "never"};
    const char *pNames[] = {"none", "checksum", "hash"};
    for (int c = 0; c < 3; ++c) {
        for (int p = 0; p < 3; ++p) {
            const QByteArray tag = QByteArray(cNames[c]) + "/" + pNames[p];
            // automatic mode keeps the compressed form only when shorter
            QTest::newRow(tag + "/repetitive") << c << p << repetitive << (c != 2);
            QTest::newRow(tag + "/short") << c << p << shortText << (c == 1);
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
    QCOMPARE(bool(enciphered.at(1) & 0x01), compressed);
    QCOMPARE(bool(enciphered.at(1) & 0x02), protection == 1);
    QCOMPARE(bool(enciphered.at(1) & 0x04), protection == 2);
    if (!compressed)
        QVERIFY(!enciphered.contains(plain.left(16)) || plain.isEmpty());

    // a reader with default modes follows the flags, not its own settings
    TextCipher reader(kKey);
    QCOMPARE(reader.decipher(enciphered), plain);
    QCOMPARE(reader.lastError(), TextCipher::ErrorNone);
}

void TestTextCipher::layoutFollowsFormat_data()
{
    QTest::addColumn<int>("protection");
    QTest::newRow("checksum") << 1;
    QTest::newRow("hash") << 2;
}

void TestTextCipher::layoutFollowsFormat()
{
    QFETCH(int, protection);
    const QByteArray plain = "Lattica order 2026-12-06";
    TextCipher cipher(kKey);
    cipher.setCompressionMode(TextCipher::CompressionNever);
    cipher.setProtectionMode(TextCipher::ProtectionMode(protection));
    const QByteArray body = unchain(cipher.encipher(plain), kKey);

    if (protection == 1) {
        QCOMPARE(body.size(), 1 + 2 + plain.size());
        QCOMPARE(qFromBigEndian<quint16>(body.constData() + 1), qChecksum(plain.constData(), uint(plain.size())));
        QCOMPARE(body.mid(3), plain);
    } else {
        QCOMPARE(body.size(), 1 + 20 + plain.size());
        QCOMPARE(body.mid(1, 20), QCryptographicHash::hash(plain, QCryptographicHash::Sha1));
        QCOMPARE(body.mid(21), plain);
    }

    // compressed payloads are the framework's level-9 form
    cipher.setCompressionMode(TextCipher::CompressionAlways);
    cipher.setProtectionMode(TextCipher::ProtectionNone);
    const QByteArray packed = unchain(cipher.encipher(plain), kKey);
    QCOMPARE(qUncompress(packed.mid(1)), plain);
}

void TestTextCipher::readsHandBuiltCiphertext()
{
    const QByteArray payload = "C123456,api:0f0f";
    const quint16 crc = qChecksum(payload.constData(), uint(payload.size()));
    QByteArray body;
    body.append(char(0x5a)); // random byte
    body.append(char(crc >> 8));
    body.append(char(crc & 0xff));
    body.append(payload);
    char previous = 0;
    for (int i = 0; i < body.size(); ++i) {
        body[i] = char(body.at(i) ^ char((kKey >> (8 * (i % 8))) & 0xff) ^ previous);
        previous = body.at(i);
    }
    const QByteArray cipherText = QByteArray("\x03\x02", 2) + body;

    TextCipher cipher(kKey);
    QCOMPARE(cipher.decipher(cipherText), payload);
    QCOMPARE(cipher.lastError(), TextCipher::ErrorNone);
}

void TestTextCipher::sameTextEnciphersDifferently()
{
    TextCipher cipher(kKey);
    QSet<QByteArray> seen;
    for (int i = 0; i < 8; ++i) {
        const QByteArray e = cipher.encipher("secret");
        QCOMPARE(cipher.decipher(e), QByteArray("secret"));
        seen.insert(e);
    }
    QVERIFY2(seen.size() > 1, "the random first byte never changed");
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
            const QByteArray out = reader.decipher(bad);
            QVERIFY2(reader.lastError() == TextCipher::ErrorIntegrity,
                     qPrintable(QStringLiteral("byte %1 changed by %2 not detected").arg(pos).arg(int(uchar(delta)))));
            QVERIFY(out.isEmpty());
        }
    }
}

void TestTextCipher::refusesWrongVersionAndShortInput()
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
}

void TestTextCipher::noKeyAndWrongKey()
{
    TextCipher none;
    QTest::ignoreMessage(QtWarningMsg, "No key set.");
    QVERIFY(none.encipher("x").isEmpty());
    QCOMPARE(none.lastError(), TextCipher::ErrorNoKey);
    QTest::ignoreMessage(QtWarningMsg, "No key set.");
    QVERIFY(none.decipher(QByteArray("\x03\x02\x10\x11\x12", 5)).isEmpty());
    QCOMPARE(none.lastError(), TextCipher::ErrorNoKey);

    TextCipher writer(kKey);
    writer.setProtectionMode(TextCipher::ProtectionHash);
    const QByteArray e = writer.encipher("account password");
    TextCipher other(kKey + 1);
    QVERIFY(other.decipher(e).isEmpty());
    QCOMPARE(other.lastError(), TextCipher::ErrorIntegrity);
}

void TestTextCipher::decryptText()
{
    QByteArray plain;
    int error = -1;
    QVERIFY(::decryptText(encryptText("edi password"), &plain, &error));
    QCOMPARE(plain, QByteArray("edi password"));
    QCOMPARE(error, 0);

    // checksum-only data is accepted too: the flags say what to check
    TextCipher checksummed(kSecurityKey);
    QVERIFY(::decryptText(checksummed.encipher("x"), &plain));
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

// Deciphering texts that arrive from other machines: never more than the
// bound, and whatever is enciphered comes back unchanged.
#include "fuzzsupport.h"

#include "app/textcipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = Fuzz::bytes(data, size);
    QByteArray plain;
    int error = -1;
    const bool ok = decryptText(input, &plain, &error);
    if (ok != (error == 0) || (!ok && !plain.isEmpty()) || plain.size() > TextCipher::kMaxPlainSize)
        Fuzz::fail("decryptText result", input);
    if (ok && !(input.at(1) & TextCipher::FlagHash))
        Fuzz::fail("text without its hash taken on trust", input);

    TextCipher reader(Q_UINT64_C(0x0123456789abcdef));
    const QByteArray any = reader.decipher(input);
    if (any.size() > TextCipher::kMaxPlainSize || (reader.lastError() != TextCipher::ErrorNone && !any.isEmpty()))
        Fuzz::fail("decipher result", input);

    if (size <= 4096) {
        const int mode = size ? data[0] % 3 : 0;
        const QByteArray back = [&] {
            QByteArray out;
            decryptText(encryptText(input, TextCipher::CompressionMode(mode)), &out);
            return out;
        }();
        if (back != input)
            Fuzz::fail("round trip", input);
    }
    return 0;
}

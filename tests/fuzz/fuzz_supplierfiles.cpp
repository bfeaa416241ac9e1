// The supplier's address file and stock file, as they come from its FTP
// server. The first input byte picks the account number the fetch asked for.
#include "fuzzsupport.h"

#include "business/businesslookup.h"
#include "business/supplierfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    if (size == 0)
        return 0;
    static const char *const numbers[] = {"C123456", "M1234567", "C000001", "x"};
    const QString number = QString::fromLatin1(numbers[data[0] % 4]);
    const QByteArray body = Fuzz::bytes(data + 1, size - 1);

    const AccountAddresses read = parseAccountAddresses(body, number);
    if (!read.error.isEmpty() && !read.entries.isEmpty())
        Fuzz::fail("a rejected address file still gave entries");
    // account numbers end up in remote paths and settings keys
    for (auto it = read.entries.cbegin(); it != read.entries.cend(); ++it)
        if (!isAccountNumber(it.key()))
            Fuzz::fail("entries kept under a malformed account", it.key().toUtf8());

    int days = 0;
    const QString error = parseLeadTime(body, &days);
    if (error.isEmpty() && (days < -1000000 || days > 1000000))
        Fuzz::fail("a lead time read without error is out of range");
    return 0;
}

// The pasted customer block, split into name, address, postcode, phone and
// e-mail.
#include "fuzzsupport.h"

#include "orders/vexaorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::setUp();
    VexaOrder order;
    order.autoSave = false;
    const QString block = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    order.processAddress(block);
    order.dropAddress();
    return 0;
}

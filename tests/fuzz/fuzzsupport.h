#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace Fuzz {

// Creates the application object (offscreen) and a private data folder with
// its state folders, once per process; later calls return at once.
void setUp();

// The input as bytes, without copying.
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
}

// A broken promise of the code under test: reported, then the process aborts
// so that both the replay and libFuzzer count the input as failing.
[[noreturn]] void fail(const char *what, const QByteArray &detail = QByteArray());

} // namespace Fuzz

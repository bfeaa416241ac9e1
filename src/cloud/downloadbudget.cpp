#include "cloud/downloadbudget.h"

#include "orders/fileutils.h"

namespace DownloadBudget {

namespace {

constexpr qint64 MiB = 1024 * 1024;

qint64 defaultLimit(Kind kind)
{
    switch (kind) {
    case Reply:
        return 64 * MiB;
    case Archive:
        return 512 * MiB;
    case ArchiveEntry:
        return 128 * MiB;
    case Transfer:
        return 16 * MiB;
    case Import:
        return kMaxOrderFileSize;
    case KindCount:
        break;
    }
    return 0;
}

qint64 overrides[KindCount] = {};

} // namespace

qint64 limit(Kind kind)
{
    if (kind < 0 || kind >= KindCount)
        return 0;
    return overrides[kind] > 0 ? overrides[kind] : defaultLimit(kind);
}

void setLimit(Kind kind, qint64 bytes)
{
    if (kind >= 0 && kind < KindCount)
        overrides[kind] = bytes > 0 ? bytes : 0;
}

int stallSeconds()
{
    return 60;
}

} // namespace DownloadBudget

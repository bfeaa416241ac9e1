#include "testzip.h"

#include <QBuffer>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

namespace TestZip {

QByteArray make(const Entries &entries, bool stored)
{
    QBuffer buffer;
    {
        QuaZip zip(&buffer);
        if (!zip.open(QuaZip::mdCreate))
            return QByteArray();
        for (const auto &entry : entries) {
            QuaZipFile file(&zip);
            const bool opened = stored ? file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first), nullptr, 0, 0, 0)
                                       : file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first), nullptr, 0,
                                                   Z_DEFLATED, Z_BEST_COMPRESSION);
            if (!opened || file.write(entry.second) != entry.second.size())
                return QByteArray();
            file.close();
        }
        zip.close();
        if (zip.getZipError() != 0)
            return QByteArray();
    }
    return buffer.data();
}

} // namespace TestZip

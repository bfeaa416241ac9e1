#include "testzip.h"

#include <QBuffer>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

QByteArray TestZip::make(const QList<QPair<QString, QByteArray>> &entries, bool stored)
{
    QBuffer buffer;
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return QByteArray();
    for (const auto &entry : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first), nullptr, 0, stored ? 0 : Z_DEFLATED,
                       stored ? 0 : Z_BEST_COMPRESSION)
            || file.write(entry.second) != entry.second.size())
            return QByteArray();
        file.close();
    }
    zip.close();
    return zip.getZipError() == 0 ? buffer.data() : QByteArray();
}

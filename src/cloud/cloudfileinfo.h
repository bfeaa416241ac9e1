#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>

// One object of a detailed storage listing.
struct CloudFileInfo
{
    QDateTime lastModified; // UTC, as listed
    QByteArray etag;        // without the surrounding double quotes
    qint32 size = 0;
};
Q_DECLARE_METATYPE(CloudFileInfo)

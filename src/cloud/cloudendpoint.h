#pragma once

#include <QString>
#include <QUrl>

// Where the storage service is reached. The real service by default; a local
// S3-compatible server needs a scheme, a port and path-style addressing.
// Only the URL changes: the signed resource is always "/" + bucket + "/" + key
// (the key percent-encoded as sent).
struct CloudEndpoint
{
    QString scheme = QStringLiteral("https");
    QString host = QStringLiteral("s3.amazonaws.com");
    int port = -1;          // -1: the scheme's default
    bool pathStyle = false; // host/bucket/key instead of bucket.host/key

    // From the user settings "storageScheme_s", "storageHost_s",
    // "storagePort_i" and "storagePathStyle_b" (defaults as above).
    static CloudEndpoint configured();

    // The request URL text for a bucket (may be empty: the service root) and key.
    QString urlText(const QString &bucket, const QString &key) const;
    // The same with the key already percent-encoded, as it goes on the wire.
    QByteArray encodedUrl(const QString &bucket, const QByteArray &encodedKey) const;
};

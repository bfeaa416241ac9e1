#pragma once

#include <QString>

class QNetworkReply;

// Judges a finished storage reply the way the cloud controllers report it.
// True when the reply has no network error and, if data is required, has
// bytes to read. On false, *message receives the text for the user (the
// network error mapped to a plain message, or the raw error when the
// setting "debug" is true); on true it is left alone.
bool checkCloudReply(QNetworkReply *reply, bool requireData, QString *message);

// The mapping on its own: the user's message for a network error code and
// the network layer's error text.
QString cloudReplyMessage(int networkError, const QString &errorText);

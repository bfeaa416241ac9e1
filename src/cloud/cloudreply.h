#pragma once

#include <QString>

class QNetworkReply;

// Judges a finished storage reply the way the cloud controllers report it.
// True when the reply has no network error and, if data is required, has
// bytes to read. On false, *message receives the text for the user (the
// network error mapped to a plain message, or its name and code when the
// setting "debug" is true; never the network layer's text, which holds the
// signed address); on true it is left alone. A reply cut for going past its
// budget is refused with its own message.
bool checkCloudReply(QNetworkReply *reply, bool requireData, QString *message);

// The mapping on its own: the user's message for a network error code; codes
// without a message of their own show detail, a text of our own making
// (networkErrorText), or the code's own description.
QString cloudReplyMessage(int networkError, const QString &detail = QString());

// A network error told in our own words: the HTTP status's standard reason
// (when there is a status) or the error's, then the code's name and number.
QString networkErrorText(int networkError, int httpStatus);

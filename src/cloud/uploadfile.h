#pragma once

#include <QByteArray>
#include <QString>

// Reads the local file an upload sends. A zero-length file is never uploaded:
// it is removed and *skip is set. False, with *error, when it cannot be read.
bool readUploadFile(const QString &path, QByteArray *contents, bool *skip, QString *error = nullptr);

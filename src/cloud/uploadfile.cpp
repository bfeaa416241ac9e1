#include "uploadfile.h"

#include <QDebug>
#include <QFile>

bool readUploadFile(const QString &path, QByteArray *contents, bool *skip, QString *error)
{
    *skip = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qInfo() << "Failed to read file: " << path << file.errorString();
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.size() == 0) {
        qInfo() << " Not uploading zero length file" << path;
        file.close();
        if (!file.remove())
            qInfo() << " failed to remove zero length file" << file.errorString();
        *skip = true;
        return true;
    }
    *contents = file.readAll();
    return true;
}

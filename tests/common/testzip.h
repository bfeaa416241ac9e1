#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace TestZip {
// A zip archive of the entries in order, written by QuaZip. Stored entries
// keep their bytes readable in the archive, so a test can damage one.
QByteArray make(const QList<QPair<QString, QByteArray>> &entries, bool stored = false);
}

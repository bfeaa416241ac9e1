#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace TestZip {

using Entries = QList<QPair<QString, QByteArray>>;

// A zip archive with the given entries in order, written by QuaZip. Stored
// entries keep their bytes readable in the archive, so a test can damage one.
QByteArray make(const Entries &entries, bool stored = false);

} // namespace TestZip

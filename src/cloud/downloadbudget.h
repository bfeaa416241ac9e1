#pragma once

#include <QtGlobal>

// How much the program takes in from outside for one thing, checked before
// anything is inflated or read whole and again while it arrives: a reply or
// file that goes past its budget is cut and refused.
namespace DownloadBudget {

enum Kind {
    Reply,        // one storage object read whole (settings files, codes, transfers, product database)
    Archive,      // a catalogue or configuration archive: as downloaded, and all its entries inflated
    ArchiveEntry, // one entry of such an archive, inflated
    Transfer,     // a file fetched from the supplier's servers (addresses, stock)
    Import,       // an order file opened from disk
    KindCount
};

qint64 limit(Kind kind);
// Tests replace a budget to try its edge without gigabytes; 0 restores it.
void setLimit(Kind kind, qint64 bytes);

// Seconds without a byte after which a storage request is given up.
int stallSeconds();

} // namespace DownloadBudget

#pragma once

#include <QString>
#include <QStringList>

// The catalogue folder layout. The root is AppContext::catalogueProductsFolder
// (V3VexaData/Products in the data folder); each product has a folder named
// exactly as the user picked it. Table paths are given without ".csv" where
// the table reader adds it.
namespace Catalogue {

QString root();

QString productFolder(const QString &product);
QString pricesFolder(const QString &product);
// Price band table of an item (".csv" added by the reader).
QString priceTablePath(const QString &product, const QString &table);
// The same table named with its extension.
QString priceTableCsvPath(const QString &product, const QString &table);
QString rangesFolder(const QString &product);
QString rangeTablePath(const QString &product, const QString &supplier);
QString extrasFolder(const QString &product);
// "_info" or a group table in an Extras folder.
QString groupTablePath(const QString &extrasFolder, const QString &name);
// The group table as read for pricing.
QString extrasTablePath(const QString &product, const QString &group);
// Option price table, band-independent, and the per-band fallback.
QString optionPriceTablePath(const QString &product, const QString &cost);
QString optionBandPriceTablePath(const QString &product, const QString &cost, const QString &band);
QString prodIniPath(const QString &product);
// The setting.ini that adjusts a price table: next to it.
QString settingIniPath(const QString &tablePath);

// Copies a catalogue (a folder of product folders, such as the sample that
// ships with the program) into the products folder, replacing files of the
// same name. Only regular files inside the folder are copied; links and
// special files are left out and listed in *skipped (relative paths).
// Returns the number of files copied, or -1 when one failed.
int installFrom(const QString &source, QStringList *skipped = nullptr);

// Base names of the "*.csv" files (files only) in a folder, in the order
// the file system gives them; empty for a missing folder.
QStringList csvBaseNames(const QString &folder);
// The products of the installed catalogue: the folders of the root that hold
// a "Prices" or "Ranges" folder, sorted by name.
QStringList productNames();
// Forgets the folder listings kept by csvBaseNames (a catalogue update).
void dropFolderCache();

// prod.ini of one product; a missing file gives the defaults.
struct ProductSettings
{
    QStringList measures;
    bool incStdMeasures = false;
    QString notesFile;

    QString supplierNotes(const QString &supplier) const;
};
ProductSettings productSettings(const QString &product);

// The measurement types offered for a product: its own, followed by the
// standard ones (comma-separated standardTypes) when it asks for them, or
// the standard ones alone when it has none.
QStringList measureTypes(const ProductSettings &settings, const QString &standardTypes);

} // namespace Catalogue

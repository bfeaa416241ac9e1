#pragma once

#include <QString>
#include <QVariant>

class QSettings;

// Settings that arrive from the shared store (the configuration archive's
// values.cfg, the universal un.ini, an account's lta.ini) may have been
// written by anyone holding the storage key. Only business choices pass:
// never where this installation keeps its data, which services it reaches
// with which credentials, what it runs, who is signed in, or the posting
// journal.
namespace BusinessKeys {

// The key's own spelling when it is a business key, compared without regard
// to letter case; "" when the key may not be taken from the store.
QString businessKey(const QString &key);

// Settings of the shared lta.ini: the business keys and the business's
// groups (staff, account names, delivery names). Same contract as above.
QString sharedKey(const QString &key);

// Keys whose value the program hands to a browser or web view: only http
// and https pages with a host are taken.
bool isLinkKey(const QString &key);
bool isWebPage(const QString &text);

// Whether a value from the store may be taken for that (canonical) key.
bool acceptableValue(const QString &key, const QVariant &value);

// Removes from an INI file every key sharedKey() refuses; true when the
// file was left unchanged.
bool filterSharedFile(const QString &path);

} // namespace BusinessKeys

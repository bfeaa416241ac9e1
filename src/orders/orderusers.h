#pragma once

#include <QString>

// Transfers name users by ID; the user settings keep the business's user
// names ("users") and IDs ("uidList") as parallel lists.
QString userIdForName(const QString &name);
QString userNameForId(const QString &id);

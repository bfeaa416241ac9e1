#pragma once

#include <QString>

// The business configuration files of the configuration folder.

// "values.cfg" into the user settings, business keys only (BusinessKeys;
// "yes"/"no" as booleans, any letter case; keys never removed) and
// "ediEnabled"/"ediRemote" from "edi.cfg" (both removed when it is absent). Run at start-up and after every
// configuration download.
void loadBusinessConfig();

// The supplier portal's connection values from "edi.cfg".
struct EdiConfig
{
    bool present = false;
    bool enabled = false;
    QString remote;
    QString address;
    QString scheme;
    QString userName;
    QString password;    // deciphered; empty when passwordOk is false
    bool passwordOk = false;
};
QString ediConfigPath();
EdiConfig readEdiConfig();

// The one way a stored portal password is read: the text is Base64, its
// bytes are deciphered with the program's text cipher. False (and *plain
// empty) when it cannot be.
bool decipherPortalPassword(const QString &stored, QString *plain);

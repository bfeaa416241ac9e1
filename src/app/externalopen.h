#pragma once

#include <QUrl>

#include <functional>

// Everything the program hands to the desktop (a web page, the logs folder)
// goes through here, so a test can see the request instead of a browser or
// file manager opening.
using ExternalOpener = std::function<bool(const QUrl &)>;

// Only http/https pages with a host and local folders are handed over;
// anything else (another scheme, a local file) is refused with false.
bool openExternally(const QUrl &url);
bool isOpenableAddress(const QUrl &url);
// Replaces the desktop's opener; an empty function restores it.
void setExternalOpener(ExternalOpener opener);

#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class VexaOrder;

// The order as one HTML text. With forCustomer set it is the customer's
// document (customer block, customer notes, excluded items marked); clear, it
// is the body of the supplier's order e-mail (no customer contact details,
// excluded items left out).
QString orderHtml(const VexaOrder &order, bool forCustomer);

// Text typed by people or received from peers, made safe to place into the
// markup: escaped, then line breaks turned into "<br>".
QString htmlText(const QString &text);

// Print files: data folder + "/print", emptied before each file is written.
QString printFolder();
// "%1/%2_%3.html" (folder, name, order ID); empty for an order ID that would
// name a file outside the folder.
QString printFilePath(const QString &name, const QString &orderID);
// Empties the print folder and writes html into it as UTF-8; the file's
// local-file URL as text, or empty (with a critical log line) on failure.
QString writePrintFile(const QString &name, const QString &orderID, const QString &html);

// How a written print file is opened; the desktop's default handler unless
// replaced (the tests do).
extern std::function<void(const QUrl &)> openPrintFile;

#pragma once

#include <QString>
#include <QTextStream>

struct CliCall;
class VexaOrder;

// Loads FILE_OR_ID for a command that only looks at the order: a file where
// it lies, an ID from the state folders; nothing is moved or saved. On
// failure says so on err.
bool cliLoadOrder(VexaOrder &order, const QString &what, QTextStream &err);
// The order file a command works on: FILE_OR_ID as a file, else the ID's file
// in the first state folder that has one; empty (said on err) when none.
QString cliOrderPath(const QString &what, QTextStream &err);

// lattica-cli order show [--data DIR] FILE_OR_ID
int cliOrderShow(CliCall &call);
// lattica-cli orders list [--data DIR] [--state received|inprogress|topost|sent|backup]
int cliOrdersList(CliCall &call);

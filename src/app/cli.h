#pragma once

#include <QStringList>
#include <QTextStream>

// lattica-cli: support and scripting companion built on the core library.
int runLatticaCli(int argc, char *argv[]);

// What every command gets: its own arguments (after the command words, with
// --data already applied) and the two output streams.
struct CliCall
{
    QStringList args;
    QTextStream &out;
    QTextStream &err;
};

// Takes "--data DIR" out of args and points the data folder there; otherwise
// the data folder is the one the user settings name. Touches nothing on disk.
void cliUseDataFolder(QStringList &args);
// Takes a "--flag" out of args; true when it was there.
bool cliTakeFlag(QStringList &args, const QString &flag);

#pragma once

#include <QString>
#include <QTemporaryDir>

// Shared set-up for the test programs. tests/isolated already gives each test
// program its own home and settings location; these helpers give each test
// case a fresh data folder inside it.
namespace TestEnv {

// Sets the application's names so the user settings land where the program
// keeps them. Call once, e.g. from initTestCase().
void initApp();

// Points "datapath" at a new temporary folder and runs the data-folder set-up
// there. The folder lives as long as the returned object.
QTemporaryDir *freshDataFolder();

// A file or folder of the repository (e.g. "data/catalogue").
QString sourcePath(const QString &relative);

// Whole file as bytes / writes bytes (creating parent folders); for fixtures.
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace TestEnv

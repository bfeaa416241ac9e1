#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class appSettings;

// Process-wide folders, lists and settings stores, set by the data-folder
// set-up at start and read everywhere else. Used from the main thread only.
class AppContext
{
public:
    static inline QString dataFolder;
    static inline QString logsFolder;
    static inline QString sharedSettingsFolder;   // holds lta.ini
    static inline QString catalogueDataFolder;    // V3VexaData
    static inline QString catalogueProductsFolder;
    static inline QString cfgFolder;              // VexaCfg
    static inline QString ordersFolder;           // with trailing slash
    // Indexed by VexaOrder::OrderState.
    static inline QStringList stateFolders;
    static inline QStringList listNames;
    static inline QString productName = QStringLiteral("Lattica");
    static inline bool heightWording = true;
    static inline bool v3Catalogue = false;
    // Empty when the last file operation succeeded.
    static inline QString lastFileError;

    static appSettings *userSettings();
    static appSettings *sharedSettings();

    // Builds the folder tree and (re)creates both settings stores. Run once at
    // start, after the application's names are set; never fatal. folder:
    // the data folder to use instead of the configured one.
    static void setupDataFolders(const QString &folder = QString());
    // Sets every folder path from the data folder without touching the disk
    // or the settings (the command-line tool uses this on its own).
    static void assignFolders(const QString &dataFolder);
    // Creates both settings stores without writing to them.
    static void openSettings();
    // The data folder the user settings ask for ("datapath" or the default).
    static QString configuredDataFolder();
    // Drops both settings stores (end of run, or between tests).
    static void releaseSettings();

    // Reads a user setting through the store's true/false/empty conversion.
    static QVariant setting(const QString &key, const QVariant &defaultValue = QVariant());

    // Orders folder + the state's sub-folder ("" for states outside the list).
    static QString stateFolder(int state);

    static const QStringList &defaultAppointmentTypes();
};

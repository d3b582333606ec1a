#pragma once

#include <QtCore/QString>

class QAction;
class QSettings;

namespace korva {

// The main window's settings ("Settings" and "Config" of the settings store).
// Geometry is in twips.
struct MainSettings
{
    int left = 1000;
    int top = 1000;
    int width = 10000;
    int height = 8500;
    int splitterPos = 2500;
    bool useTables = true;
    bool lockAlias = true;
    bool lockObjectID = true;
    bool showObjectID = true;
    bool showWhereClause = false;
    bool dirDB = false;
    bool dynDB = false;
    bool mbxDB1 = false;
    bool rptDB = false;
};

// Reads the stored values over the given ones. A value that cannot be
// converted is skipped and the given value stays. "UseTables", "LockAlias",
// "LockObjectID" and "ShowObjectID" are true only when stored exactly as
// "True"; the other flags take "True"/"False" in any case or a number.
void loadMainSettings(QSettings &store, MainSettings &settings);
// The settings a start uses: the stored values over the documented defaults.
// A window already running (starting over on another server) keeps its
// database marks where none is stored, and its place, size and splitter.
MainSettings readMainSettings(QSettings &store, const MainSettings *running);
// Writes them back; the geometry only when the window is not minimised.
void saveMainSettings(QSettings &store, const MainSettings &settings, bool minimised);

// The menu items whose check marks are settings; databases in the order
// of the databases() list.
struct SettingsMenu
{
    QAction *useTables = nullptr;
    QAction *useViews = nullptr;
    QAction *lockAlias = nullptr;
    QAction *lockObjectID = nullptr;
    QAction *showObjectID = nullptr;
    QAction *showWhereClause = nullptr;
    QAction *databases[4] = {};
};
void showInMenu(const MainSettings &settings, const SettingsMenu &menu);
void takeFromMenu(MainSettings &settings, const SettingsMenu &menu);

// Conversions shared with the other windows' placement settings.
bool convertNumber(const QString &text, int *value);
bool convertBoolean(const QString &text, bool *value);

// The command line: pieces separated by single blanks; "/named:" gives the
// instance, "/Edit" turns on edit mode (both without regard to case).
struct CommandLine
{
    QString instance; // "zandelorvex" when none is named
    bool editMode = false;
};
CommandLine parseCommandLine(const QString &text);

} // namespace korva

#pragma once

#include <QString>

// The window and the command-line tool give their application object the same names, so
// that QStandardPaths hands both the same configuration and data folders.
extern const char kOrganisationName[];
extern const char kOrganisationDomain[];
extern const char kApplicationName[];

// The reverse-DNS desktop ID ("example.tandora.Tandora"). It is set once, in the top
// CMakeLists.txt as TANDORA_APP_ID; the desktop file, the metainfo and the icon are named
// after it.
QString app_id();

// The program's version as major.minor ("1.7"), from the project version in the top
// CMakeLists.txt: the title, --version, the backups and the update check all read it here.
QString program_version();

// Call right after creating the application object, before any setting is read or any log
// record written.
void apply_app_identity();

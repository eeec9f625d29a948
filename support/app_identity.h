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

// Call right after creating the application object, before any setting is read or any log
// record written.
void apply_app_identity();

#pragma once

#include <QString>

// Where the program keeps its settings file and its log. The rule follows where the
// executable lies, not whether its folder is writable (root can write to /usr/bin too):
// - SYSTEM, an executable under /usr or /opt: an installed copy shared by every user keeps
//   "Config.ini" in the user's configuration folder and "log.txt" in the user's local data
//   folder (QStandardPaths, under the names of app_identity.h);
// - PORTABLE, anywhere else (a build folder, a copy on a stick): "Config.ini" beside the
//   executable and "log.txt" in the working folder.
enum class EInstallKind {
    SYSTEM,
    PORTABLE,
};
const char* install_kind_text(EInstallKind kind);

EInstallKind install_kind_of(const QString& executable_folder);

// The executable's folder: the real one, unless a test has set another.
QString executable_folder();
// Test seam: pretend the executable lies in `folder`; an empty text restores the real one.
void set_executable_folder(const QString& folder);

// Both are built afresh on every call from executable_folder(), the working folder and the
// application names in force at the time.
QString settings_file_path();
QString log_file_path();

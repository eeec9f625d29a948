#include "support/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <mutex>

namespace {

// Prefixes of package-managed and vendor installs; /usr/local lies under /usr.
const char* const kSystemPrefixes[] = {"/usr", "/opt"};

std::mutex g_folder_guard;
QString g_pretend_folder;

}  // namespace

const char* install_kind_text(EInstallKind kind)
{
    switch (kind) {
        case EInstallKind::SYSTEM:
            return "system";
        case EInstallKind::PORTABLE:
            return "portable";
    }
    return "unknown";
}

EInstallKind install_kind_of(const QString& executable_folder)
{
    const QString folder = QDir::cleanPath(QDir(executable_folder).absolutePath());
    for (const char* prefix : kSystemPrefixes) {
        const QString root = QString::fromLatin1(prefix);
        if (folder == root || folder.startsWith(root + '/'))
            return EInstallKind::SYSTEM;
    }
    return EInstallKind::PORTABLE;
}

QString executable_folder()
{
    {
        std::lock_guard<std::mutex> lock(g_folder_guard);
        if (!g_pretend_folder.isEmpty())
            return g_pretend_folder;
    }
    return QCoreApplication::applicationDirPath();
}

void set_executable_folder(const QString& folder)
{
    std::lock_guard<std::mutex> lock(g_folder_guard);
    g_pretend_folder = folder;
}

QString settings_file_path()
{
    const QString folder = executable_folder();
    if (install_kind_of(folder) == EInstallKind::SYSTEM)
        return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/Config.ini";
    return folder + "/Config.ini";
}

QString log_file_path()
{
    if (install_kind_of(executable_folder()) == EInstallKind::SYSTEM)
        return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/log.txt";
    return QDir::currentPath() + "/log.txt";
}

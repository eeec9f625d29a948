#include "core/online/update_server.h"

#include "support/app_identity.h"

#include <cmath>
#include <mutex>

namespace UPDATE_SERVER {

const char EXE_INFO_PATH[] = "/Tandora/ExeInfo.txt";
const char PROGRAM_ARCHIVE_PATH[] = "/Tandora/Tandora.zip";
const char FIRMWARE_LIST_PATH[] = "/talvo_update/Firmware/path.xml";
const char FIRMWARE_FOLDER[] = "/talvo_update/Firmware/";

namespace {

// Downloads read the address from worker threads.
std::mutex& base_mutex()
{
    static std::mutex mutex;
    return mutex;
}

QString& current_base()
{
    // A reserved name that never resolves until the real host is set here: a made-up
    // domain could be registered by anyone and would then feed us firmware lists.
    static QString base = QStringLiteral("http://update.tandora.example:80");
    return base;
}

}  // namespace

QString base()
{
    std::lock_guard<std::mutex> lock(base_mutex());
    return current_base();
}

void set_base(const QString& base)
{
    std::lock_guard<std::mutex> lock(base_mutex());
    current_base() = base;
}

QString version_file_text(EVersionFile result)
{
    switch (result) {
        case EVersionFile::NUMBER:
            return QStringLiteral("The update server names a version.");
        case EVersionFile::NOT_A_NUMBER:
            return QStringLiteral("The update server's version file gives no version number.");
        case EVersionFile::NO_VERSION:
            return QStringLiteral("The update server names no version.");
    }
    return QStringLiteral("Unknown version file result.");
}

EVersionFile read_version_file(const QByteArray& file, float& newest)
{
    newest = 0;
    const int end = file.indexOf('\0');
    const QString text = QString::fromUtf8(end < 0 ? file : file.left(end));
    const QString key = QStringLiteral("version=");
    const int at = text.indexOf(key);
    if (at < 0)
        return EVersionFile::NO_VERSION;
    bool number = false;
    const float read = text.mid(at + key.size()).toFloat(&number);
    if (!number || !std::isfinite(read) || read <= 0)
        return EVersionFile::NOT_A_NUMBER;
    newest = read;
    return EVersionFile::NUMBER;
}

bool read_newest_version(const QByteArray& file, float& newest)
{
    return read_version_file(file, newest) != EVersionFile::NO_VERSION;
}

float own_program_version()
{
    return program_version().toFloat();
}

}  // namespace UPDATE_SERVER

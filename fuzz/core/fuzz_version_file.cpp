// Feeds the server's program version file to its reader: a version is read exactly when
// "version=" occurs before the file's first NUL byte, and none is read otherwise.
#include "core/update_server.h"

#include <QByteArray>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<int>(size));
    float newest = -1;
    const bool found = UPDATE_SERVER::read_newest_version(file, newest);
    const int end = file.indexOf('\0');
    const QByteArray text = end < 0 ? file : file.left(end);
    // Invalid UTF-8 becomes replacement characters, never a "version=" of its own.
    if (found && !text.contains("version="))
        std::abort();
    if (!found && (text.contains("version=") || newest != -1))
        std::abort();
    return 0;
}

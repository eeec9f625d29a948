// Feeds the server's program version file to its reader: "version=" before the file's first
// NUL byte is found exactly when it is there, and only a finite positive number after it is
// a version to compare with.
#include "core/online/update_server.h"

#include <QByteArray>
#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<int>(size));
    float newest = -1;
    const UPDATE_SERVER::EVersionFile read = UPDATE_SERVER::read_version_file(file, newest);
    const int end = file.indexOf('\0');
    const QByteArray text = end < 0 ? file : file.left(end);
    // Invalid UTF-8 becomes replacement characters, never a "version=" of its own.
    const bool named = text.contains("version=");
    if (named != (read != UPDATE_SERVER::EVersionFile::NO_VERSION))
        std::abort();
    const bool number = read == UPDATE_SERVER::EVersionFile::NUMBER;
    if (number != (std::isfinite(newest) && newest > 0) || (!number && newest != 0))
        std::abort();
    return 0;
}

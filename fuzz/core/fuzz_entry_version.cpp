// Feeds firmware list entry names to the version reader the update question relies on:
// the name's case does not matter, and a name without "_v" or "-v" has no version.
#include "core/firmware_update/firmware_catalog.h"

#include <QString>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const unsigned version = get_verion_from_file_name(name);
    if (get_verion_from_file_name(name.toLower()) != version)
        std::abort();
    const QString lower = name.toLower();
    if (version != 0 && !lower.contains(QLatin1String("_v")) && !lower.contains(QLatin1String("-v")))
        std::abort();
    return 0;
}

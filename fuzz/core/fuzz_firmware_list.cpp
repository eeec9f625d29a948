// Feeds the server's firmware list to its reader and checks what the front ends rely on:
// the entries of a model are those of the whole list that contain its folder name, in
// the same order, every entry lies in a folder, and each offered package is shown by its
// last name and fetched from below the firmware folder.
#include "core/firmware_update/firmware_catalog.h"
#include "core/online/http_xml_file.h"

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader writes each entry to the debug output; the run needs no copy of them.
    static const bool quiet =
        (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);
    (void)quiet;
    CHttpXmlFile list;
    if (!list.open(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size))))
        return 0;
    std::list<std::string> all;
    std::list<std::string> model;
    // Past a bound the whole list fails, whichever entries are asked for.
    const bool bounded = list.get_file_in_folder(nullptr, all);
    if (list.get_file_in_folder("1", model) != bounded)
        std::abort();
    if (!bounded)
        return 0;

    auto next = all.begin();
    for (const std::string& entry : model) {
        if (entry.find('1') == std::string::npos)
            std::abort();
        next = std::find(next, all.end(), entry);
        if (next == all.end())
            std::abort();
        ++next;
    }
    for (const std::string& entry : all) {
        if (entry.find('/') == std::string::npos)
            std::abort();
    }
    if (static_cast<size_t>(std::count_if(all.begin(), all.end(), [](const std::string& entry) {
            return entry.find('1') != std::string::npos;
        })) != model.size())
        std::abort();

    const SFirmwareCatalog catalog =
        read_firmware_catalog(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), 1);
    if (catalog.result != ECatalogResult::OK)
        std::abort();
    for (const SFirmwareEntry& entry : catalog.entries) {
        if (entry.name.contains('/') || !entry.server_path.startsWith(UPDATE_SERVER::FIRMWARE_FOLDER) ||
            !entry.server_path.endsWith(QLatin1String(".dat")) ||
            !entry.server_path.contains(QLatin1String("00001")))
            std::abort();
    }
    return 0;
}

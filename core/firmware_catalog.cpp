#include "core/firmware_catalog.h"

#include "core/http_xml_file.h"
#include "core/my_http.h"
#include "device/model_info.h"
#include "support/neat.h"

#include <QRegExp>
#include <list>
#include <string>

bool read_firmware_catalog(const QByteArray& list, unsigned int product_id,
                           std::vector<SFirmwareEntry>& entries)
{
    entries.clear();
    CHttpXmlFile file;
    if (!file.open(list))
        return false;
    const QByteArray filter = QString::asprintf("%05d", static_cast<int>(product_id)).toLatin1();
    std::list<std::string> paths;
    file.get_file_in_folder(filter.constData(), paths);
    for (const std::string& text : paths) {
        const QString entry = QString::fromStdString(text);
        const QString name = entry.mid(entry.lastIndexOf('/') + 1);
        entries.push_back({name, UPDATE_SERVER::FIRMWARE_FOLDER + entry + QStringLiteral(".dat"),
                           get_verion_from_file_name(name)});
    }
    return true;
}

SFirmwareCatalog fetch_firmware_catalog(unsigned int product_id, CTask* task, const SDownloadLimits& limits)
{
    SFirmwareCatalog catalog;
    QByteArray list;
    const SDownloadResult download =
        CMyHttp(limits, task).download_file(UPDATE_SERVER::base() + UPDATE_SERVER::FIRMWARE_LIST_PATH, list);
    if (!download.ok()) {
        catalog.result = ECatalogResult::DOWNLOAD_FAILED;
        catalog.message = download.message;
    } else if (!get_model_info(product_id)) {
        catalog.result = ECatalogResult::UNKNOWN_MODEL;
    } else if (!read_firmware_catalog(list, product_id, catalog.entries)) {
        catalog.result = ECatalogResult::LIST_BROKEN;
        catalog.message = QStringLiteral("Open web firmware info failed !");
    }
    return catalog;
}

unsigned get_verion_from_file_name(QString name)
{
    name = name.toLower();
    int at = name.indexOf(QLatin1String("_v"));
    if (at < 0)
        at = name.indexOf(QLatin1String("-v"));
    if (at < 0)
        return 0;
    QString text = name.mid(at + 2);
    const int cut = text.indexOf(QRegExp(QStringLiteral("[-_]")));
    if (cut >= 0)
        text.truncate(cut);
    return NEAT::convert_str_to_version(text);
}

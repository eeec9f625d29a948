#include "core/firmware_update/firmware_catalog.h"

#include "core/online/http_xml_file.h"
#include "core/online/my_http.h"
#include "device/model_info.h"
#include "support/neat.h"
#include "support/printable_text.h"

#include <QRegExp>
#include <list>
#include <string>

SFirmwareCatalog read_firmware_catalog(const QByteArray& list, unsigned int product_id)
{
    SFirmwareCatalog catalog;
    CHttpXmlFile file;
    if (!file.open(list)) {
        catalog.result = ECatalogResult::LIST_BROKEN;
        catalog.message = QStringLiteral("Open web firmware info failed !");
        return catalog;
    }
    const QByteArray filter = QString::asprintf("%05d", static_cast<int>(product_id)).toLatin1();
    std::list<std::string> paths;
    if (!file.get_file_in_folder(filter.constData(), paths)) {
        catalog.result = ECatalogResult::LIST_BROKEN;
        catalog.message = QStringLiteral("The firmware list is too large or malformed.");
        return catalog;
    }
    for (const std::string& text : paths) {
        const QString entry = QString::fromStdString(text);
        const QString name = printable_text(entry.mid(entry.lastIndexOf('/') + 1));
        catalog.entries.push_back({name, UPDATE_SERVER::FIRMWARE_FOLDER + entry + QStringLiteral(".dat"),
                                   get_verion_from_file_name(name)});
    }
    return catalog;
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
        return catalog;
    }
    if (!get_model_info(product_id)) {
        catalog.result = ECatalogResult::UNKNOWN_MODEL;
        return catalog;
    }
    return read_firmware_catalog(list, product_id);
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

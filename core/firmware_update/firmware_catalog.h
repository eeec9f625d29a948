#pragma once

#include "core/online/download_result.h"
#include "core/online/update_server.h"

#include <QByteArray>
#include <QString>
#include <vector>

class CTask;

// One package of the online firmware list offered for the connected model.
struct SFirmwareEntry {
    // Shown to the user: the entry after its last "/" ("PEDAL_V1.2.3"), without control
    // characters.
    QString name;
    // Below the server's base address: FIRMWARE_FOLDER + entry + ".dat".
    QString server_path;
    // Read from the name by get_verion_from_file_name, to compare with the pedal's.
    unsigned version = 0;
};

enum class ECatalogResult {
    OK,               // `entries` holds the model's packages, possibly none
    DOWNLOAD_FAILED,  // the list could not be fetched; nothing to show
    UNKNOWN_MODEL,    // the model has no row in the model table: offer the local file
    LIST_BROKEN,      // the list is not well-formed XML, or expands past a bound
};

struct SFirmwareCatalog {
    ECatalogResult result = ECatalogResult::OK;
    // Empty on OK and UNKNOWN_MODEL; the download's sentence on DOWNLOAD_FAILED;
    // "Open web firmware info failed !" on LIST_BROKEN, or "The firmware list is too large
    // or malformed." for a list past the bounds of http_xml_file.h.
    QString message;
    std::vector<SFirmwareEntry> entries;
};

// The entries of the list `list` (the server's XML) for the product ID `product_id`: those
// whose path contains the ID printed "%05d", in the list's order. OK or LIST_BROKEN.
[[nodiscard]] SFirmwareCatalog read_firmware_catalog(const QByteArray& list, unsigned int product_id);

// Fetches the online list (UPDATE_SERVER::FIRMWARE_LIST_PATH) and picks the entries of
// `product_id`. Blocks the calling thread; `task` (may be null) counts and cancels.
[[nodiscard]] SFirmwareCatalog fetch_firmware_catalog(
    unsigned int product_id, CTask* task, const SDownloadLimits& limits = UPDATE_SERVER::kSmallFileLimits);

// The firmware version in a list entry's name, as the pedal reports its own: the text
// after the first "_v" (else "-v"), case ignored, up to the next "-" or "_", read as
// dotted numbers ("PEDAL_V1.2.3" gives 0x010203). 0 when the name has neither.
unsigned get_verion_from_file_name(QString name);

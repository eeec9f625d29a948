#pragma once

#include "core/online/download_result.h"

#include <QByteArray>
#include <QString>

// The update server: plain HTTP GET of a few files below one base address made of
// scheme, host and port, without a trailing slash.
namespace UPDATE_SERVER {

// The program's version file, naming the newest program after "version=".
extern const char EXE_INFO_PATH[];
// The newest program as an archive; handed to the web browser, never fetched here.
extern const char PROGRAM_ARCHIVE_PATH[];
// The firmware list (XML) and the folder its entries are relative to.
extern const char FIRMWARE_LIST_PATH[];
extern const char FIRMWARE_FOLDER[];

// The built-in address until set_base() replaces it for the rest of the process.
QString base();
void set_base(const QString& base);

// Milliseconds a request may go without any data before it is given up: a server that
// accepts the connection and then says nothing must not hold a download for ever.
constexpr int TRANSFER_TIMEOUT_MS = 20000;

// The firmware list and the version file are a few kilobytes; 4 MB leaves room for any
// list the server will ever hold and still keeps them in memory. A package is at most a
// few megabytes of flash images; 256 MB bounds what it may take of the temporary folder.
constexpr SDownloadLimits kSmallFileLimits{4 * 1048576, 30 * 1000, TRANSFER_TIMEOUT_MS};
constexpr SDownloadLimits kPackageLimits{256 * int64_t{1048576}, 15 * 60 * 1000, TRANSFER_TIMEOUT_MS};

// What a version file says.
enum class EVersionFile {
    NUMBER,        // "version=" and a number
    NOT_A_NUMBER,  // "version=" and anything else: no version to compare with
    NO_VERSION,    // no "version="
};
[[nodiscard]] QString version_file_text(EVersionFile result);

// The newest program version named by a version file: the text after its first
// "version=" up to the end (the file ends at its first NUL byte), as a decimal number
// with a point. `newest` is 0 unless the result is NUMBER: anything but white space after
// the number makes it NOT_A_NUMBER.
[[nodiscard]] EVersionFile read_version_file(const QByteArray& file, float& newest);
// True when the file says "version=", whatever follows it (`newest` 0 when not a number).
[[nodiscard]] bool read_newest_version(const QByteArray& file, float& newest);

// The running program's own version: the text after the first "V" of its title.
float own_program_version();

}  // namespace UPDATE_SERVER

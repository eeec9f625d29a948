#pragma once

#include <QString>
#include <cstdint>

// What a server may send before a download gives up: a hostile or broken one must not
// fill memory or the disk, nor hold the caller for ever.
struct SDownloadLimits {
    // Largest body accepted, in bytes, whether announced by Content-Length or sent.
    int64_t max_bytes = 0;
    // The whole download, redirects included, ends within this many milliseconds.
    int deadline_ms = 0;
    // ... and gives up after this many milliseconds without receiving anything.
    int silence_ms = 0;
};

// Redirects followed, each only to the same scheme, host and port.
constexpr int kMaxRedirects = 3;

enum class EDownloadOutcome {
    OK,
    CANCELLED,
    TOO_LARGE,
    DEADLINE,
    SILENCE,
    REDIRECT_ELSEWHERE,  // to another scheme, host or port
    TOO_MANY_REDIRECTS,
    REDIRECT_WITHOUT_ADDRESS,  // a 3xx status without a usable Location
    HTTP_ERROR,                // any other status than 2xx
    NETWORK_ERROR,             // no connection, or it broke off before the whole body
    STORE_FAILED,              // the bytes could not be written where they go
    NO_SERVER,                 // no update server is set (the demo mode without one given)
};

struct SDownloadResult {
    EDownloadOutcome outcome = EDownloadOutcome::OK;
    // A sentence for the user; empty on OK.
    QString message;

    bool ok() const { return outcome == EDownloadOutcome::OK; }
};

// The result for `outcome` with its sentence. `detail` is the status ("404 Not Found")
// for HTTP_ERROR and the system's reason for NETWORK_ERROR and STORE_FAILED.
SDownloadResult download_result(EDownloadOutcome outcome, const SDownloadLimits& limits,
                                const QString& detail = QString());

// "256 MB", "4 KB", "100 bytes": a size limit as the messages name it.
QString size_text(int64_t bytes);
// "15 min", "30 s", "250 ms": a time limit as the messages name it.
QString duration_text(int ms);

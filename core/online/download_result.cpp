#include "core/online/download_result.h"

#include "support/units.h"

QString size_text(int64_t bytes)
{
    if (bytes >= int64_t(kBytesPerMegabyte) && bytes % int64_t(kBytesPerMegabyte) == 0)
        return QStringLiteral("%1 MB").arg(bytes / int64_t(kBytesPerMegabyte));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString duration_text(int ms)
{
    if (ms >= 60000 && ms % 60000 == 0)
        return QStringLiteral("%1 min").arg(ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 ms").arg(ms);
}

namespace {

QString message_of(EDownloadOutcome outcome, const SDownloadLimits& limits, const QString& detail)
{
    switch (outcome) {
        case EDownloadOutcome::OK:
            return QString();
        case EDownloadOutcome::CANCELLED:
            return QStringLiteral("The download was cancelled.");
        case EDownloadOutcome::TOO_LARGE:
            return QStringLiteral("The download is larger than %1 and was stopped.")
                .arg(size_text(limits.max_bytes));
        case EDownloadOutcome::DEADLINE:
            return QStringLiteral("The download did not finish within %1.")
                .arg(duration_text(limits.deadline_ms));
        case EDownloadOutcome::SILENCE:
            return QStringLiteral("The update server sent nothing for %1; the download was stopped.")
                .arg(duration_text(limits.silence_ms));
        case EDownloadOutcome::REDIRECT_ELSEWHERE:
            return QStringLiteral("The update server redirected to another address; it was not followed.");
        case EDownloadOutcome::TOO_MANY_REDIRECTS:
            return QStringLiteral(
                       "The update server redirected more than %1 times; the download was stopped.")
                .arg(kMaxRedirects);
        case EDownloadOutcome::REDIRECT_WITHOUT_ADDRESS:
            return QStringLiteral(
                "The update server redirected without naming an address; the download was stopped.");
        case EDownloadOutcome::HTTP_ERROR:
            return QStringLiteral("The update server answered %1.").arg(detail);
        case EDownloadOutcome::NETWORK_ERROR:
            return QStringLiteral("The download failed: %1.").arg(detail);
        case EDownloadOutcome::STORE_FAILED:
            return QStringLiteral("The download could not be stored: %1.").arg(detail);
        case EDownloadOutcome::NO_SERVER:
            return QStringLiteral("The demo pedal has no update server; give one with --update-server.");
    }
    return QString();
}

}  // namespace

SDownloadResult download_result(EDownloadOutcome outcome, const SDownloadLimits& limits,
                                const QString& detail)
{
    return {outcome, message_of(outcome, limits, detail)};
}

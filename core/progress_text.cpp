#include "core/progress_text.h"

#include "audio/song_time_text.h"
#include "support/units.h"

namespace {

constexpr double kKB = 1024.0;
const QString kDot = QStringLiteral(" \u00b7 ");

}  // namespace

QString transfer_text(uint64_t done, uint64_t total, double seconds)
{
    QString text = total > 0 ? QString::asprintf("%.1f of %.1f MB", megabytes(done), megabytes(total))
                             : QString::asprintf("%.1f MB", megabytes(done));
    if (seconds <= 0 || done == 0)
        return text;
    const double rate = done / seconds;
    text += kDot + QString::asprintf("%.0f kB/s", rate / kKB);
    if (total > done)
        text += kDot + time_text((total - done) / rate) + QStringLiteral(" left");
    return text;
}

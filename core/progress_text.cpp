#include "core/progress_text.h"

#include <cmath>

namespace {

constexpr double kMB = 1048576.0;
constexpr double kKB = 1024.0;
const QString kDot = QStringLiteral(" \u00b7 ");

}  // namespace

QString clock_text(double seconds)
{
    const auto whole = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long rest = whole % 60;
    if (hours > 0)
        return QString::asprintf("%lld:%02lld:%02lld", hours, minutes, rest);
    return QString::asprintf("%lld:%02lld", minutes, rest);
}

QString transfer_text(uint64_t done, uint64_t total, double seconds)
{
    QString text = total > 0 ? QString::asprintf("%.1f of %.1f MB", done / kMB, total / kMB)
                             : QString::asprintf("%.1f MB", done / kMB);
    if (seconds <= 0 || done == 0)
        return text;
    const double rate = done / seconds;
    text += kDot + QString::asprintf("%.0f kB/s", rate / kKB);
    if (total > done)
        text += kDot + clock_text((total - done) / rate) + QStringLiteral(" left");
    return text;
}

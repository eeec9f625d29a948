#include "bench_peers.h"

#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

bool run(const QString& command)
{
    const QByteArray line = (command + " 2>/dev/null").toLocal8Bit();
    return std::system(line.constData()) == 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double elapsed_ms(const std::function<bool()>& job)
{
    const auto start = std::chrono::steady_clock::now();
    if (!job()) {
        std::fprintf(stderr, "job failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double time_ratio(const std::function<bool()>& ours, const std::function<bool()>& theirs)
{
    std::vector<double> a, b;
    for (int i = 0; i < kRuns; ++i) {
        a.push_back(elapsed_ms(ours));
        b.push_back(elapsed_ms(theirs));
    }
    return median(a) / median(b);
}

bool ffmpeg_normalised(const QString& from, const QString& to, double target, unsigned int channels)
{
    const QByteArray measure =
        QString("ffmpeg -nostats -i '%1' -af ebur128=peak=true -f null - 2>&1").arg(from).toLocal8Bit();
    FILE* meter = popen(measure.constData(), "r");
    if (!meter)
        return false;
    QString summary;
    char line[512];
    while (std::fgets(line, sizeof line, meter))
        summary += QString::fromLocal8Bit(line);
    if (pclose(meter) != 0)
        return false;
    const QRegularExpressionMatch integrated =
        QRegularExpression(R"(I:\s+(-?[\d.]+) LUFS)").match(summary.mid(summary.lastIndexOf("Summary")));
    const QRegularExpressionMatch peak = QRegularExpression(R"(Peak:\s+(-?[\d.]+) dBFS)").match(summary);
    if (!integrated.hasMatch() || !peak.hasMatch())
        return false;
    const double gain =
        std::min(target - integrated.captured(1).toDouble(), -1.0 - peak.captured(1).toDouble());
    return run(QString("ffmpeg -v error -y -i '%1' -af volume=%2dB,aresample=resampler=soxr -ar 46875 -ac %4 "
                       "-c:a pcm_s24le '%3'")
                   .arg(from)
                   .arg(gain, 0, 'f', 2)
                   .arg(to)
                   .arg(channels));
}


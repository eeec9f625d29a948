#include "cli_import.h"

#include "bench_peers.h"
#include "support/file_hash.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace {

// The demo pedals: DUAL WHEEL holds a stereo song of up to 30 minutes, PULSE RING mono
// songs of almost 5.
const char* const kStereoPedal = "DUAL WHEEL";
const char* const kMonoPedal = "PULSE RING";

// The command with the demo pedal's flash and the library in `folder`, so no run finds
// what another left.
QString cli_import(const QString& folder, const char* model, const QString& path, const char* loudness = "off")
{
    return QString("HOME='%1' XDG_DATA_HOME='%1/data' XDG_CONFIG_HOME='%1/config' '%2' --demo --demo-reset "
                   "--model '%3' --demo-speed instant --yes --quiet --loudness %4 import 1 '%5'")
        .arg(folder, QStringLiteral(TANDORA_CLI), model, loudness, path);
}

QString ffmpeg_conversion(const QString& from, const QString& to, const char* channels)
{
    return QString("ffmpeg -v error -y -i '%1' -af aresample=resampler=soxr -ar 46875 %2 -c:a pcm_s24le '%3'")
        .arg(from, channels, to);
}

// Peak resident memory in MB of the shell running `command` and of what it ran; -1 when it
// failed.
double peak_mb_of(const QString& command)
{
    const QByteArray line = (command + " 2>/dev/null").toLocal8Bit();
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", line.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_maxrss) * 1024.0 / 1e6;
}

}  // namespace

bool print_cli_import_figures(const QString& folder, const QString& four)
{
    const QString ten = folder + "/ten.wav";
    if (!run(QString("sox -n -r 44100 -b 16 -c 2 '%1' synth 600 sine 220 sine 330 vol 0.5").arg(ten)))
        return false;
    const QString out = folder + "/peer.wav";
    const double stereo = time_ratio([&] { return run(cli_import(folder, kStereoPedal, four)); },
                                     [&] { return run(ffmpeg_conversion(four, out, "")); });
    const double mono = time_ratio([&] { return run(cli_import(folder, kMonoPedal, four)); },
                                   [&] { return run(ffmpeg_conversion(four, out, "-ac 1")); });
    const double normalised = time_ratio([&] { return run(cli_import(folder, kStereoPedal, four, "-16")); },
                                         [&] { return ffmpeg_normalised(four, out, -16, 2); });
    std::vector<double> peaks;
    for (int i = 0; i < kRuns; ++i)
        peaks.push_back(peak_mb_of(cli_import(folder, kStereoPedal, ten)));
    const double hash = time_ratio([&] { return !file_sha256(four).isEmpty(); },
                                   [&] { return run(QString("sha256sum '%1' >/dev/null").arg(four)); });
    if (median(peaks) < 0)
        return false;
    std::printf("cli import stereo instant / ffmpeg: %.2f\n", stereo);
    std::printf("cli import mono instant / ffmpeg: %.2f\n", mono);
    std::printf("import normalised stereo / ffmpeg two-pass: %.2f\n", normalised);
    std::printf("import peak MB 10 min stereo: %.1f\n", median(peaks));
    std::printf("source hash / sha256sum: %.2f\n", hash);
    return true;
}

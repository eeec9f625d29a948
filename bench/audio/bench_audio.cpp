// Times the song conversions file to file (load, convert, save) on a five-minute
// 44100 Hz stereo 16-bit file, beside sox doing the same jobs at its default (high)
// rate quality, and the peak resident memory of the mono import.
#include "audio/wave.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr unsigned int SOURCE_RATE = 44100;
constexpr unsigned int SOURCE_SECONDS = 300;
constexpr int RUNS = 5;

// Music-like material: a few tones drifting against each other, plus noise, different on
// each channel so that taking the left channel alone is visible in the result.
bool write_source(const QString& path)
{
    CWave wave;
    wave.BuildFormat(2, SOURCE_RATE, 16);
    const unsigned int frames = SOURCE_RATE * SOURCE_SECONDS;
    auto* bytes = new unsigned char[size_t(frames) * 4];
    std::mt19937 noise(7);
    std::uniform_real_distribution<double> spread(-0.02, 0.02);
    for (unsigned int i = 0; i < frames; ++i) {
        const double t = double(i) / SOURCE_RATE;
        const double left =
            0.3 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 1337 * t) + spread(noise);
        const double right =
            0.3 * std::sin(2 * M_PI * 330 * t) + 0.1 * std::sin(2 * M_PI * 5000 * t) + spread(noise);
        for (int c = 0; c < 2; ++c) {
            const auto sample = uint16_t(int16_t(std::lround((c ? right : left) * 32767)));
            bytes[4 * size_t(i) + 2 * c] = uint8_t(sample);
            bytes[4 * size_t(i) + 2 * c + 1] = uint8_t(sample >> 8);
        }
    }
    wave.SetBuffer(bytes, frames, false);
    return wave.Save(path);
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

struct STimes {
    double ours = 1e300;
    double sox = 1e300;
};

// Best of RUNS each, the two taking turns so that load from other processes weighs on
// both alike.
STimes compare(const std::function<bool()>& ours, const std::function<bool()>& sox)
{
    STimes best;
    for (int run = 0; run < RUNS; ++run) {
        best.ours = std::min(best.ours, elapsed_ms(ours));
        best.sox = std::min(best.sox, elapsed_ms(sox));
    }
    return best;
}

bool convert(const QString& from, const QString& to, bool (CWave::*conversion)(int), int channels)
{
    CWave wave;
    return wave.Load(from) && (wave.*conversion)(channels) && wave.Save(to);
}

bool run_sox(const QString& arguments)
{
    const QByteArray command = ("sox " + arguments + " 2>/dev/null").toLocal8Bit();
    return std::system(command.constData()) == 0;
}

// VmHWM, the peak resident set, in MB; writing 5 to clear_refs starts it afresh.
void reset_peak()
{
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peak_mb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const auto file = [&dir](const char* name) { return dir.path() + "/" + name; };
    if (!dir.isValid() || !write_source(file("source.wav"))) {
        std::fprintf(stderr, "cannot write the source file\n");
        return 1;
    }

    reset_peak();
    if (!convert(file("source.wav"), file("song_mono.wav"), &CWave::ResampleLinerAs46875Wav, 1))
        return 1;
    const double importPeak = peak_mb();

    const STimes importMono = compare(
        [&] {
            return convert(file("source.wav"), file("song_mono.wav"), &CWave::ResampleLinerAs46875Wav, 1);
        },
        [&] {
            return run_sox(file("source.wav") + " -b 24 " + file("sox_mono.wav") + " remix 1 rate 46875");
        });
    const STimes importStereo = compare(
        [&] {
            return convert(file("source.wav"), file("song_stereo.wav"), &CWave::ResampleLinerAs46875Wav, 2);
        },
        [&] { return run_sox(file("source.wav") + " -b 24 " + file("sox_stereo.wav") + " rate 46875"); });
    const STimes exportMono = compare(
        [&] {
            return convert(file("song_mono.wav"), file("export_mono.wav"), &CWave::ResampleLinerAs48000Wav,
                           1);
        },
        [&] { return run_sox(file("song_mono.wav") + " -b 24 " + file("sox_export.wav") + " rate 48000"); });

    std::printf("import mono ms: %.1f\n", importMono.ours);
    std::printf("import stereo ms: %.1f\n", importStereo.ours);
    std::printf("export mono ms: %.1f\n", exportMono.ours);
    std::printf("import peak MB: %.1f\n", importPeak);
    std::printf("sox import mono ms: %.1f\n", importMono.sox);
    std::printf("sox import stereo ms: %.1f\n", importStereo.sox);
    std::printf("sox export mono ms: %.1f\n", exportMono.sox);
    std::printf("import mono / sox: %.2f\n", importMono.ours / importMono.sox);
    std::printf("import stereo / sox: %.2f\n", importStereo.ours / importStereo.sox);
    std::printf("export mono / sox: %.2f\n", exportMono.ours / exportMono.sox);
    return 0;
}

// Figures of the song import and export (Release build; median of five runs; MB here
// are 10^6 bytes):
//   import peak MB 4 min mono  peak resident memory of a fresh process converting a
//                              4-minute 44100 Hz stereo 16-bit file into PULSE RING song
//                              bytes (mono, conversion only)
//   import peak MB 60 min      the same process refusing a 60-minute file
//   import peak MB 4 min normalised  the 4-minute import brought to -16 LUFS
//   import mono / ffmpeg       the conversion written to a 24-bit WAV file, against
//   import stereo / ffmpeg     ffmpeg's soxr resampler doing the same in the same run
//   import normalised / ffmpeg two-pass  the mono conversion brought to -16 LUFS, against
//                              ffmpeg measuring with ebur128=peak=true, then converting
//                              with the gain that follows (volume, then soxr)
//   thd+n 24-bit -60 dBFS dB   a dithered 24-bit tone through import and export
//   cli import stereo instant / ffmpeg   the whole `tandora-cli --demo --demo-speed instant
//   cli import mono instant / ffmpeg     import` of the 4-minute file into a stereo and a mono
//                              pedal, against ffmpeg converting it into a WAV file
//   import normalised stereo / ffmpeg two-pass  the same command on the stereo pedal at -16
//                              LUFS, against ffmpeg's two readings in stereo
//   import peak MB 10 min stereo  peak resident memory of that command importing a
//                              10-minute stereo file
//   source hash / sha256sum    the program's SHA-256 of the 42 MB file against sha256sum's
// Inputs are made with sox in a temporary folder.
#include "audio/song_export.h"
#include "audio/song_import.h"
#include "audio/song_import_text.h"
#include "audio/wave.h"
#include "audio/wave_format.h"
#include "bench_peers.h"
#include "cli_import.h"
#include "signal_measure.h"
#include "support/neat.h"

#include <unistd.h>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A PULSE RING slot: 160 blocks of 64 pages of 4032 bytes.
constexpr uint64_t kSlotBytes = 41287680;

// VmHWM of this process in MB.
double peak_mb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() * 1024.0 / 1e6;
    return -1;
}

SSongTarget pulse_ring(unsigned int channels, ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE)
{
    SSongTarget target;
    target.channels = channels;
    target.max_bytes = kSlotBytes * channels;
    target.loudness = loudness;
    return target;
}

// The child: one import at the loudness named, then its own peak memory on stdout.
int import_child(const char* path, const char* loudness)
{
    const SSongImport import = import_song(
        QString::fromLocal8Bit(path),
        pulse_ring(1, loudness_target_from_name(loudness).value_or(ELoudnessTarget::AS_THE_FILE)), nullptr);
    std::printf("%s %.3f\n", song_import_result_text(import.result), peak_mb());
    return 0;
}

// Peak memory of a fresh process of this program importing `path`: the child's line is
// the import's result and, last, its peak.
double child_peak_of(const QString& path, const char* expected_result, const char* loudness = "off")
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return -1;
    self[length] = 0;
    const QByteArray command =
        (QString("'%1' --import-peak '%2' %3").arg(QString::fromLocal8Bit(self), path, loudness))
            .toLocal8Bit();
    FILE* child = popen(command.constData(), "r");
    if (!child)
        return -1;
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, child) != nullptr;
    pclose(child);
    const std::string text = got ? line : "";
    const size_t space = text.rfind(' ');
    if (space == std::string::npos || text.compare(0, std::strlen(expected_result), expected_result) != 0) {
        std::fprintf(stderr, "import of %s: %s\n", qPrintable(path), text.c_str());
        return -1;
    }
    return std::atof(text.c_str() + space + 1);
}

bool import_to_wave(const QString& from, const QString& to, unsigned int channels,
                    ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE)
{
    const SSongImport import = import_song(from, pulse_ring(channels, loudness), nullptr);
    if (import.result != ESongImportResult::OK)
        return false;
    SWaveFormatex format;
    NEAT::get_wave_format_ex(uint16_t(channels), kSongSampleRate, 24, format);
    const auto header = wave_file_header(format, uint32_t(import.song.size()));
    QFile file(to);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size())) ==
               qint64(header.size()) &&
           file.write(reinterpret_cast<const char*>(import.song.data()), qint64(import.song.size())) ==
               qint64(import.song.size()) &&
           file.write("\0", wave_pad_length(import.song.size())) == wave_pad_length(import.song.size());
}

double round_trip_thd_n(const QString& tone, const QString& exported)
{
    const SSongImport import = import_song(tone, pulse_ring(1), nullptr);
    QFile file(exported);
    SSongAudioFormat format;
    if (import.result != ESongImportResult::OK || !file.open(QIODevice::WriteOnly) ||
        export_song(import.song.data(), import.song.size(), format, file, nullptr) != ESongExportResult::OK)
        return 0;
    file.close();
    CWave wave;
    if (!wave.Load(exported))
        return 0;
    return thd_n_db(channel_of(wave, 0), kExportSampleRate, 997);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--import-peak")
        return import_child(argv[2], argv[3]);

    QTemporaryDir dir;
    const auto file = [&dir](const char* name) { return dir.path() + "/" + name; };
    const bool made = dir.isValid() &&
                      run(QString("sox -n -r 44100 -b 16 -c 2 '%1' synth 240 sine 220 sine 330 vol 0.5")
                              .arg(file("four.wav"))) &&
                      run(QString("sox -n -r 44100 -b 16 -c 2 '%1' trim 0 3600").arg(file("hour.wav"))) &&
                      run(QString("sox -n -r 44100 -b 24 -c 1 '%1' synth 5 sine 997 vol -60dB dither")
                              .arg(file("tone.wav")));
    if (!made) {
        std::fprintf(stderr, "sox could not make the inputs\n");
        return 1;
    }

    std::vector<double> four, four_normalised, hour, thd_n;
    for (int i = 0; i < kRuns; ++i) {
        four.push_back(child_peak_of(file("four.wav"), "Imported"));
        four_normalised.push_back(child_peak_of(file("four.wav"), "Imported", "-16"));
        hour.push_back(child_peak_of(file("hour.wav"), "File too large!"));
        thd_n.push_back(round_trip_thd_n(file("tone.wav"), file("tone_out.wav")));
    }
    const auto ffmpeg = [&](const char* channels, const char* out) {
        return run(
            QString(
                "ffmpeg -v error -y -i '%1' -af aresample=resampler=soxr -ar 46875 %2 -c:a pcm_s24le '%3'")
                .arg(file("four.wav"), channels, file(out)));
    };
    const double mono = time_ratio([&] { return import_to_wave(file("four.wav"), file("ours_mono.wav"), 1); },
                                   [&] { return ffmpeg("-ac 1", "ffmpeg_mono.wav"); });
    const double stereo =
        time_ratio([&] { return import_to_wave(file("four.wav"), file("ours_stereo.wav"), 2); },
                   [&] { return ffmpeg("", "ffmpeg_stereo.wav"); });
    const double normalised = time_ratio(
        [&] {
            return import_to_wave(file("four.wav"), file("ours_normalised.wav"), 1, ELoudnessTarget::LUFS_16);
        },
        [&] { return ffmpeg_normalised(file("four.wav"), file("ffmpeg_normalised.wav"), -16, 1); });

    std::printf("import peak MB 4 min mono: %.1f\n", median(four));
    std::printf("import peak MB 4 min normalised: %.1f\n", median(four_normalised));
    std::printf("import peak MB 60 min: %.1f\n", median(hour));
    std::printf("import mono / ffmpeg: %.2f\n", mono);
    std::printf("import stereo / ffmpeg: %.2f\n", stereo);
    std::printf("import normalised / ffmpeg two-pass: %.2f\n", normalised);
    std::printf("thd+n 24-bit -60 dBFS dB: %.1f\n", median(thd_n));
    return print_cli_import_figures(dir.path(), file("four.wav")) ? 0 : 1;
}

#include "bench_sync.h"

#include "audio/song_converter.h"
#include "audio/wave.h"
#include "bench_pedal.h"
#include "core/questions.h"
#include "core/set_list/set_list_sync.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSongs = 10;

class CYes final : public CQuestions {
public:
    bool ask_yes_no(const QString&, const QString&) override { return true; }
};

// Ten 3-second tones of different pitches and the M3U list of them.
bool write_set_list(const QTemporaryDir& files)
{
    QByteArray list("#EXTM3U\n");
    for (int song = 0; song < kSongs; ++song) {
        std::vector<int16_t> samples(3 * 44100);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(8000 * std::sin(0.02 * (song + 1) * double(i)));
        CWave wave;
        wave.BuildFormat(1, 44100, 16);
        wave.SetBuffer(samples.data(), static_cast<unsigned>(samples.size()), true);
        const QString name = QStringLiteral("song%1.wav").arg(song);
        if (!wave.Save(files.filePath(name)))
            return false;
        list += name.toUtf8() + '\n';
    }
    QFile file(files.filePath("gig.m3u"));
    return file.open(QIODevice::WriteOnly) && file.write(list) == list.size();
}

}  // namespace

int run_sync_benchmark()
{
    SBenchSession bench;
    CPedalSession& session = bench.session;
    CPedalEmulator& pedal = bench.pedal;
    const QTemporaryDir& files = bench.files;
    CYes yes;
    const QString list = files.filePath("gig.m3u");
    bool ok = files.isValid() && write_set_list(files) && session.search_and_open() &&
              session.load_songs() == LOOPER_RESULT_OK && sync_set_list(session, list, {}, yes, nullptr).ok();
    double seconds = 0;
    if (ok) {
        pedal.set_timing(SPedalTiming::realistic());
        const auto start = std::chrono::steady_clock::now();
        const COperationResult again = sync_set_list(session, list, {}, yes, nullptr);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ok = again.ok() && again.text() == QLatin1String("Every song of the set list is up to date.");
    }
    // The list reversed: every song but the middle ones moves by its record, none is written.
    double reordered = 0;
    if (ok) {
        QByteArray reversed("#EXTM3U\n");
        for (int song = kSongs - 1; song >= 0; --song)
            reversed += QStringLiteral("song%1.wav\n").arg(song).toUtf8();
        QFile file(files.filePath("reversed.m3u"));
        ok = file.open(QIODevice::WriteOnly) && file.write(reversed) == reversed.size();
        file.close();
        pedal.set_timing(SPedalTiming::realistic());
        const auto start = std::chrono::steady_clock::now();
        const COperationResult moved = sync_set_list(session, file.fileName(), {}, yes, nullptr);
        reordered = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ok = ok && moved.ok() && moved.text().contains(QStringLiteral("0 of %1 slots written").arg(kSongs));
    }
    // Another loudness setting rewrites every song: each file is read to plan and to write.
    double decodes = 0;
    if (ok) {
        SSyncOptions normalised;
        normalised.settings.loudness = ELoudnessTarget::LUFS_16;
        pedal.set_timing(SPedalTiming{});
        const uint64_t before = conversions_begun();
        const COperationResult written = sync_set_list(session, list, normalised, yes, nullptr);
        decodes = double(conversions_begun() - before) / kSongs;
        ok = written.ok() && written.text().contains(QStringLiteral("%1 of %1 slots written").arg(kSongs));
    }
    if (!ok) {
        std::fprintf(stderr, "bench_songs: the set list benchmark failed\n");
        return 1;
    }
    std::printf("sync decodes per written file normalised: %.2f\n", decodes);
    std::printf("sync unchanged 10 songs seconds: %.2f\n", seconds);
    std::printf("sync reordered 10 songs seconds: %.2f\n", reordered);
    return 0;
}

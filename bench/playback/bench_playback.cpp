// How soon a slot's song is heard: from the start of its read over an emulated realistic
// link (USB-MIDI full speed, 1 ms round trip, NAND read times) to the player's first frames
// in the sound output, the prebuffer included, for a mono and a stereo pedal. Figures:
//   play start ms mono|stereo slot realistic link: from the read's start to the first frames
#include "audio/song_stream.h"
#include "audio/wave.h"
#include "core/pedal_session.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_playback.h"
#include "device/midi_system.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "library/song_library.h"
#include "playback/audio_sink.h"
#include "playback/song_player.h"
#include "songs/song_journal.h"
#include "support/task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr unsigned int kSongSeconds = 20;
// A sound output that only notes when its first frames came.
class CFirstFramesSink final : public CAudioSink {
public:
    QString unavailable() const override { return {}; }
    int output_rate(int rate, int) const override { return rate; }
    bool open(int, int) override { return true; }
    size_t room() override { return 4096; }
    void write(const float*, size_t count) override
    {
        if (first_ms < 0)
            first_ms = clock.elapsed();
        written += count;
    }
    uint64_t played() const override { return written; }
    void pause() override {}
    void resume() override {}
    void close() override {}

    QElapsedTimer clock;
    qint64 first_ms = -1;
    uint64_t written = 0;
};

bool write_tone(const QString& path)
{
    std::vector<int16_t> samples(kSongSeconds * 44100 * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(8000 * std::sin(0.05 * double(i / 2)));
    CWave wave;
    wave.BuildFormat(2, 44100, 16);
    wave.SetBuffer(samples.data(), unsigned(samples.size() / 2), true);
    return wave.Save(path);
}

// The ms from the start of the read of slot 1 to the first frames heard; -1 on a failure.
qint64 first_samples_ms(CVirtualMidiSystem& system, uint32_t product_id, const QString& tone)
{
    QTemporaryDir data;
    SPedalConfig config;
    config.product_id = product_id;
    CPedalEmulator pedal(system, config);
    CPedalSession session;
    session.set_journal_storage(std::make_unique<CMemoryJournalStorage>());
    session.set_library(std::make_unique<CSongLibrary>(data.filePath("library.sqlite")));
    if (!session.search_and_open() || session.load_songs() != LOOPER_RESULT_OK ||
        !import_song_unasked(session, tone, 0, SImportSettings{}, nullptr).ok())
        return -1;
    pedal.set_timing(SPedalTiming::realistic());
    const std::shared_ptr<CSongStream> stream = slot_stream(session, 0);
    CFirstFramesSink sink;
    CSongPlayer player(sink);
    CTask task;
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (sink.first_ms >= 0 || stream->ended())
            loop.quit();
    });
    sink.clock.start();
    std::thread reader([&] { static_cast<void>(stream_slot(session, 0, *stream, &task)); });
    if (player.play(stream)) {
        look.start(1);
        loop.exec();
    }
    task.cancel();
    player.stop();
    reader.join();
    return sink.first_ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir files;
    const QString tone = files.filePath("tone.wav");
    if (!write_tone(tone))
        return 1;
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    int failures = 0;
    for (const auto& [name, product_id] : {std::pair{"mono", 0x2712u}, std::pair{"stereo", 0x2716u}}) {
        const qint64 ms = first_samples_ms(system, product_id, tone);
        failures += ms < 0 ? 1 : 0;
        std::printf("play start ms %s slot realistic link: %lld\n", name, static_cast<long long>(ms));
    }
    install_midi_system(previous);
    return failures;
}

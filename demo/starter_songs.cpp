#include "demo/starter_songs.h"

#include "core/pedal_session.h"
#include "core/song_commands/song_records.h"
#include "device/nand_flash_config.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"
#include "support/little_endian.h"

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

constexpr double kSeconds = 6.0;
constexpr double kPi = 3.14159265358979323846;

// One sample in -1..1 at time t (seconds).
using Voice = std::function<double(double t)>;

double chord(double t)
{
    // A minor, softly fading in and out.
    const double envelope = std::min({1.0, t * 4, (kSeconds - t) * 4});
    return envelope * 0.18 *
           (std::sin(2 * kPi * 220.0 * t) + std::sin(2 * kPi * 261.63 * t) + std::sin(2 * kPi * 329.63 * t));
}

double beat(double t)
{
    // 100 beats a minute: a falling kick on each beat, a short noise-like hat between.
    const double beat_length = 0.6;
    const double in_beat = std::fmod(t, beat_length);
    const double kick =
        std::exp(-in_beat * 18) * std::sin(2 * kPi * (60 + 90 * std::exp(-in_beat * 30)) * in_beat);
    const double in_half = std::fmod(t + beat_length / 2, beat_length);
    const double hat =
        std::exp(-in_half * 60) * std::sin(2 * kPi * 7919.0 * in_half) * std::sin(2 * kPi * 5003.0 * in_half);
    return 0.7 * kick + 0.25 * hat;
}

std::vector<unsigned char> render(const SNandFlashConfig& format, const Voice& voice)
{
    const unsigned frames = static_cast<unsigned>(kSeconds * format.sample_rate);
    const unsigned width = format.bits_per_sample / 8;
    std::vector<unsigned char> song(size_t{frames} * format.channels * width);
    unsigned char* at = song.data();
    const double full_scale = double((1u << (format.bits_per_sample - 1)) - 1);
    for (unsigned frame = 0; frame < frames; ++frame) {
        const auto value =
            static_cast<int32_t>(std::lround(voice(double(frame) / format.sample_rate) * full_scale));
        for (unsigned channel = 0; channel < format.channels; ++channel)
            at = LE::write24(at, static_cast<uint32_t>(value));
    }
    return song;
}

}  // namespace

COperationResult write_starter_songs(CPedalSession& session, CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    // Models that keep no songs, and 16-bit formats the renderer does not write, stay empty.
    if (!format || format->bits_per_sample != 24)
        return COperationResult::song(LOOPER_RESULT_OK);
    const std::vector<std::pair<Voice, QString>> voices = {{chord, QStringLiteral("A minor pad")},
                                                           {beat, QStringLiteral("Beat at 100")}};
    for (unsigned slot = 0; slot < voices.size() && slot < session.songs().slot_count(); ++slot) {
        const std::vector<unsigned char> song = render(*format, voices[slot].first);
        const QString replaced = session.slot_fingerprint(int(slot));
        const ELooperActionResult written =
            session.songs().write_file(slot, song.data(), static_cast<unsigned>(song.size()), task);
        if (written != LOOPER_RESULT_OK)
            return COperationResult::from_write(written, session.songs().journal_problem());
        const ELooperActionResult reloaded = session.reload_slot(int(slot));
        if (reloaded != LOOPER_RESULT_OK)
            return COperationResult::song(reloaded);
        SLibrarySong facts;
        facts.name = voices[slot].second;
        record_named_song(session, int(slot), replaced, facts, song.data(), song.size());
    }
    return COperationResult::song(session.load_songs());
}

void give_starter_songs()
{
    CPedalSession session;
    if (session.search_and_open() && session.load_songs() == LOOPER_RESULT_OK)
        static_cast<void>(write_starter_songs(session, nullptr));
    session.close();
}

#include "bench_moves.h"

#include "core/pedal_session.h"
#include "core/questions.h"
#include "core/song_commands/song_moves.h"
#include "emulator/pedal_emulator.h"
#include "emulator/virtual_midi_system.h"
#include "library/song_library.h"
#include "songs/looper_song_data.h"

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kPulseRing = 0x2712;
// Four minutes of the PULSE RING's 24-bit mono at 46875 Hz.
constexpr unsigned kFourMinutes = 4 * 60 * 46875 * 3;

class CNoQuestions final : public CQuestions {
public:
    bool ask_yes_no(const QString&, const QString&) override { return false; }
};

double seconds_of(const std::function<bool()>& work, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = ok && work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int run_move_benchmarks()
{
    CVirtualMidiSystem system;
    CMidiSystem* previous = install_midi_system(&system);
    QTemporaryDir files;
    SPedalConfig config;
    config.product_id = kPulseRing;
    CPedalEmulator pedal(system, config);
    CPedalSession session;
    session.set_library(std::make_unique<CSongLibrary>(files.filePath("library.sqlite")));
    std::vector<unsigned char> song(kFourMinutes);
    uint32_t noise = 0x9E3779B9;
    for (unsigned char& byte : song) {
        noise = noise * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(noise >> 24);
    }
    CLooperSongData& songs = session.songs();
    bool ok = files.isValid() && session.search_and_open() && session.load_songs() == LOOPER_RESULT_OK &&
              songs.write_file(6, song.data(), kFourMinutes, nullptr) == LOOPER_RESULT_OK &&
              session.reload_slot(6) == LOOPER_RESULT_OK;
    pedal.set_timing(SPedalTiming::realistic());
    CNoQuestions no;
    const double move = seconds_of([&] { return move_song(session, 6, 1, no, nullptr).ok(); }, ok);
    std::vector<unsigned char> back(kFourMinutes);
    const double rewrite = seconds_of(
        [&] {
            return songs.read_file(1, back.data(), kFourMinutes, nullptr) == LOOPER_RESULT_OK &&
                   songs.write_file(2, back.data(), kFourMinutes, nullptr) == LOOPER_RESULT_OK;
        },
        ok);
    ok = ok && back == song;
    session.close();
    install_midi_system(previous);
    if (!ok) {
        std::fprintf(stderr, "bench_songs: the move benchmark failed\n");
        return 1;
    }
    std::printf("move song seconds realistic link: %.2f\n", move);
    std::printf("rewrite song seconds realistic link: %.1f\n", rewrite);
    return 0;
}

#include "bench_moves.h"

#include "bench_pedal.h"
#include "core/questions.h"
#include "core/song_commands/song_moves.h"
#include "songs/looper_song_data.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Four minutes of the PULSE RING's 24-bit mono at 46875 Hz, in whole 192-byte units.
constexpr unsigned kFourMinutes = 4 * 60 * 46875 * 3 / 192 * 192;

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
    SBenchSession bench;
    CPedalSession& session = bench.session;
    const std::vector<unsigned char> song = bench_noise(kFourMinutes, 0x9E3779B9);
    CLooperSongData& songs = session.songs();
    bool ok = bench.files.isValid() && session.search_and_open() &&
              session.load_songs() == LOOPER_RESULT_OK &&
              songs.write_file(6, song.data(), kFourMinutes, nullptr) == LOOPER_RESULT_OK &&
              session.reload_slot(6) == LOOPER_RESULT_OK;
    bench.pedal.set_timing(SPedalTiming::realistic());
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
    if (!ok) {
        std::fprintf(stderr, "bench_songs: the move benchmark failed\n");
        return 1;
    }
    std::printf("move song seconds realistic link: %.2f\n", move);
    std::printf("rewrite song seconds realistic link: %.1f\n", rewrite);
    return 0;
}

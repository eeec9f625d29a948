#include "reload_cost.h"

#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "songs/looper_song_data.h"

#include <vector>

double reload_round_trips_after_import(CPedalEmulator& pedal)
{
    CPedalSession session;
    if (!session.search_and_open() || session.load_songs() != LOOPER_RESULT_OK)
        fail("opening the pedal", "no pedal");
    // A 10-second mono song into slot 5, as an import writes it.
    const std::vector<unsigned char> song(46875 * 3 * 10, 0x11);
    if (session.songs().write_file(4, song.data(), static_cast<unsigned>(song.size()), nullptr) !=
        LOOPER_RESULT_OK)
        fail("writing the song", "store");
    pedal.wait_until_idle();
    pedal.clear_command_log();
    if (session.songs().reload_slot(4) != LOOPER_RESULT_OK)
        fail("reloading the slot", "store");
    pedal.wait_until_idle();
    const double trips = static_cast<double>(pedal.command_log().size());
    session.close();
    return trips;
}

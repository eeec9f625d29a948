#include "play_start.h"

#include "app/song_page.h"
#include "app/tandora_qt.h"
#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "songs/looper_song_data.h"
#include "test_desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

double play_start_ms(CPedalEmulator& pedal)
{
    {
        CPedalSession session;
        if (!session.search_and_open() || session.load_songs() != LOOPER_RESULT_OK)
            fail("opening the pedal", "no pedal");
        const std::vector<unsigned char> song(46875 * 3 * 60, 0x21);
        if (session.songs().write_file(0, song.data(), unsigned(song.size()), nullptr) != LOOPER_RESULT_OK)
            fail("writing the song", "store");
        session.close();
    }
    CTestDesktop output;
    QElapsedTimer clock;
    qint64 first_frames = -1;
    output.sound.on_first_write = [&] { first_frames = clock.nsecsElapsed(); };
    pedal.set_timing(SPedalTiming::realistic());
    {
        CPedalSession session;
        TandoraQT window(session);
        wait_until_idle(window);
        window.song_page().show_slots(0);
        clock.start();
        window.song_page().on_play();
        while (first_frames < 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        window.song_page().on_stop();
        wait_until_idle(window);
    }
    pedal.set_timing(SPedalTiming{});
    if (first_frames < 0)
        fail("playing the song", "no frames within 10 s");
    return double(first_frames) / 1e6;
}

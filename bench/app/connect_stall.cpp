#include "connect_stall.h"

#include "app/tandora_qt.h"
#include "app/work_runner.h"
#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "songs/looper_song_data.h"

#include <QCoreApplication>
#include <QListWidget>
#include <algorithm>
#include <vector>

namespace {

// A short song in every slot, written at the emulator's instant pace.
void fill_slots()
{
    CPedalSession session;
    if (!session.search_and_open() || session.load_songs() != LOOPER_RESULT_OK)
        fail("opening the pedal", {});
    const std::vector<unsigned char> song(46875 * 3, 0x11);
    for (unsigned int slot = 0; slot < session.songs().slot_count(); ++slot)
        if (session.songs().write_file(slot, song.data(), unsigned(song.size()), nullptr) != LOOPER_RESULT_OK)
            fail("writing a song", QString::number(slot + 1));
    session.close();
}

bool all_songs_listed(const TandoraQT& window)
{
    const auto* list = window.findChild<QListWidget*>("m_lstSong");
    return list->count() == 30 && !list->item(29)->text().endsWith(QStringLiteral("(Empty)"));
}

}  // namespace

double max_gui_stall_ms_at_connect(CPedalEmulator& pedal)
{
    fill_slots();
    pedal.unplug();
    pedal.set_timing(SPedalTiming::realistic());
    CPedalSession session;
    TandoraQT window(session);
    wait_until_idle(window);

    CTickGaps gaps;
    gaps.start();
    // The window's own timer sees the new ports within a second and looks.
    pedal.plug();
    while (!all_songs_listed(window) || !window.work_runner().idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    pedal.set_timing(SPedalTiming{});
    return gaps.worst_ms();
}

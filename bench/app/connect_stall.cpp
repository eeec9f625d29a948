#include "connect_stall.h"

#include "app/tandora_qt.h"
#include "app/work_runner.h"
#include "bench_kit.h"
#include "core/pedal_session.h"
#include "emulator/pedal_emulator.h"
#include "songs/looper_song_data.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>
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

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    clock.start();
    ticks.start(1);
    // The window's own timer sees the new ports within a second and looks.
    pedal.plug();
    while (!all_songs_listed(window) || !window.work_runner().idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ticks.stop();
    pedal.set_timing(SPedalTiming{});
    return worst / 1e6;
}
